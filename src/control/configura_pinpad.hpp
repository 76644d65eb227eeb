// ConfiguraPinPad: opens the PIN pad's port, sends the model its configuration (or asks for
// its serial number) and returns the serial number, or "" when the PIN pad could not be
// configured (the failing step has told the operator).
#pragma once

#include <string>

#include "control/cliente_state.hpp"

namespace tovalix::control {

std::string ConfiguraPinPad(detail::ClienteState& state, const std::string& tipo);

}  // namespace tovalix::control
