// The two validation blocks every card operation begins with: the settings, then the data of
// the installed PIN pad.
#pragma once

#include <tovalix/dictionary.hpp>

#include "control/cliente_state.hpp"

namespace tovalix::control {

// Loads the settings into state.Parametros; false (with the message) when the terminal is not
// initialized completely.
bool CompruebaParametros(detail::ClienteState& state, Dictionary& resultado);

// The checks of the stored PIN pad data (gateway URL and whether card data may go there, port,
// model, serial, terminal number, response time-out), in their order; false at the first that
// fails.
bool CompruebaDatosPinPad(const detail::ClienteState& state, Dictionary& resultado, Operator& op);

}  // namespace tovalix::control
