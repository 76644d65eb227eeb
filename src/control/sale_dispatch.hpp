// The choice of the sale flow by the stored PIN pad model (compared exactly, case matters).
#pragma once

#include <optional>
#include <tovalix/dictionary.hpp>

#include "control/cliente_state.hpp"
#include "drivers/sale_request.hpp"

namespace tovalix::control {

// What the amount fields of the model `tipo` carry; nullopt when this build has no flow for it.
std::optional<drivers::CapacidadImporte> CapacidadDelModelo(const std::string& tipo);

// Runs the flow of state.Parametros.Tipo; nullopt when this build has no flow for that model.
std::optional<Dictionary> EjecutaVenta(detail::ClienteState& state,
                                       const drivers::SolicitudVenta& solicitud);

}  // namespace tovalix::control
