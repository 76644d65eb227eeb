#include "control/sale_dispatch.hpp"

namespace tovalix::control {

std::optional<Dictionary> EjecutaVenta(detail::ClienteState& state,
                                       const drivers::SolicitudVenta& solicitud) {
  drivers::EntornoVenta entorno{state.Link(),      state.Parametros, state.Puerto,
                                state.ModoEntrada, state.op,         *state.clock};
  (void)entorno;
  (void)solicitud;
  return std::nullopt;
}

}  // namespace tovalix::control
