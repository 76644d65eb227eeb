#include "control/configura_pinpad.hpp"

#include "common/error_report.hpp"
#include "drivers/models.hpp"
#include "serial/port_discovery.hpp"

namespace tovalix::control {

std::string ConfiguraPinPad(detail::ClienteState& state, const std::string& tipo) {
  const drivers::ModelDescriptor* model = drivers::FindModel(tipo);
  if (!model) return "";
  std::string serie;
  serial::SerialLink& link = state.Link();
  RunTrapped(state.op, [&] {
    state.Puerto = serial::AsignaPuerto(model->ports, state.op);
    if (state.Puerto.empty()) return;
    link.Abre(state.Puerto);
    link.SetFormat(model->format);
    serie = model->read_serial(link, state.op);
  });
  link.Cierra();
  return serie;
}

}  // namespace tovalix::control
