// The pre-filled result of a gateway exchange: it already reports a failed exchange, so a
// caller gets the keys it reads even when no usable answer arrived.
#pragma once

#include <cstdint>

#include <tovalix/dictionary.hpp>

#include "gateway/pin_pad.hpp"

namespace tovalix::gateway {

inline constexpr const char* kErrorAlEnviar = "ERROR AL ENVIAR DATOS AL GATEWAY";

// ResultadoDefault for `process`, entries in their fixed order. Empty for an unknown process.
Dictionary ResultadoDefault(const PinPad& record, std::int16_t process);

}  // namespace tovalix::gateway
