#include "control/sale_dispatch.hpp"

#include "drivers/models.hpp"
#include "platform/serial_port.hpp"

namespace tovalix::control {

std::optional<drivers::CapacidadImporte> CapacidadDelModelo(const std::string& tipo) {
  const drivers::ModelDescriptor* model = drivers::FindModel(tipo);
  if (!model) return std::nullopt;
  return model->capacity;
}

std::optional<Dictionary> EjecutaVenta(detail::ClienteState& state,
                                       const drivers::SolicitudVenta& solicitud) {
  const drivers::ModelDescriptor* model = drivers::FindModel(state.Parametros.Tipo);
  if (!model) return std::nullopt;
  drivers::EntornoVenta entorno{state.Link(),      state.Parametros, state.Puerto,
                                state.ModoEntrada, state.op,         *state.clock};
  Dictionary result = model->sale(entorno, solicitud);
  // A PIN pad held by another process ends the sale at its first step, before any card is
  // read; the result says so instead of a reading error.
  if (model->sale_over_link && state.Link().EnUso()) {
    result.Set("Response_Message", std::string(platform::kPinPadEnUso));
  }
  return result;
}

}  // namespace tovalix::control
