// The creatable classes of Tovalix.ocx.
#pragma once

#include "com_support.hpp"
#include "tovalix_h.h"

namespace tovalix::com {

// A new Cliente (IPP320, Mostrador) object, asked for `riid`.
HRESULT CreateCliente(REFIID riid, void** out);
HRESULT CreateIPP320(REFIID riid, void** out);
HRESULT CreateMostrador(REFIID riid, void** out);

}  // namespace tovalix::com
