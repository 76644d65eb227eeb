#include "control/configura_pinpad.hpp"

#include "common/error_report.hpp"
#include "drivers/ingenico/ingenico.hpp"
#include "drivers/optimum/venta_optimum.hpp"
#include "drivers/vx810/venta_vx810.hpp"
#include "serial/generales.hpp"
#include "serial/port_discovery.hpp"

namespace tovalix::control {
namespace {

// `count` characters of `text` from `start`, as far as the text goes.
std::string Tramo(const std::string& text, std::size_t start, std::size_t count) {
  return start >= text.size() ? std::string() : text.substr(start, count);
}

// The Ingenico answers CF0 with its serial number six (3070) or seven (iPP320) bytes after the
// command; it is kept in spaced hex, as the gateway has always received it.
std::string SerieIngenico(serial::SerialLink& link, Operator& op, std::size_t bytes) {
  drivers::ingenico::Ingenico ingenico(op, platform::LocalNow());
  if (link.EnviaRecibe(ingenico.ConfigPinPad(), "434630") != 1) return "";
  const std::string hex = serial::TextoAHex(link.BufferRecepcion());
  const std::size_t cf0 = hex.find("43 46 30");
  if (cf0 == std::string::npos) return "";
  return Tramo(hex, cf0 + 18, bytes * 3);
}

}  // namespace

std::string ConfiguraPinPad(detail::ClienteState& state, const std::string& tipo) {
  std::string serie;
  serial::SerialLink& link = state.Link();
  RunTrapped(state.op, [&] {
    state.Puerto = serial::AsignaPuerto(tipo, state.op);
    if (state.Puerto.empty()) return;
    link.Abre(state.Puerto);
    link.FijaModelo(tipo);
    if (tipo == "INGENICO3070") {
      serie = SerieIngenico(link, state.op, 6);
    } else if (tipo == "IPP320") {
      serie = SerieIngenico(link, state.op, 7);
    } else if (tipo == "Vx810") {
      serie = drivers::vx810::SerieVx810(link, state.op);
    } else if (tipo == "NURIT293") {
      serie = drivers::vx810::SerieNurit293(link, state.op);
    } else if (tipo == "OPTIMUM") {
      serie = drivers::optimum::SerieOptimum(link, state.op);
    }
  });
  link.Cierra();
  return serie;
}

}  // namespace tovalix::control
