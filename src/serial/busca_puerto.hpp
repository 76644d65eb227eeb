// Port discovery by trial: the first native serial port that opens.
#pragma once

#include <cstdint>

#include <tovalix/operator.hpp>

namespace tovalix::serial {

// Number of the first native port from 1 to 9 (platform::NativePortPath) that opens as a
// serial port, 0 when none does. The port is closed again; no setting is changed.
std::int16_t BuscaPuerto(Operator& op);

}  // namespace tovalix::serial
