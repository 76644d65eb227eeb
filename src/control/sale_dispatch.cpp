#include "control/sale_dispatch.hpp"

#include "common/number_text.hpp"
#include "drivers/ingenico/venta_ingenico.hpp"
#include "drivers/nurit293/nurit293.hpp"
#include "drivers/optimum/venta_optimum.hpp"
#include "drivers/vx810/venta_vx810.hpp"
#include "platform/serial_port.hpp"

namespace tovalix::control {
namespace {

// The Nurit 293 takes the payment as an ordered dictionary of texts.
Dictionary EntradaNurit(const detail::ClienteState& state, const drivers::SolicitudVenta& s) {
  Dictionary entrada;
  entrada.Add("ID_Store", std::to_string(s.ID_Store));
  entrada.Add("Amount", s.Amount.Text());
  entrada.Add("Tip", s.Tip.Text());
  entrada.Add("Total", s.Total.Text());
  entrada.Add("ID_Transaction", std::to_string(s.ID_Transaction));
  entrada.Add("Operation_Type", std::to_string(s.Operation_Type));
  entrada.Add("Authorization_Number", s.Authorization_Number);
  entrada.Add("Port", state.Puerto);
  entrada.Add("Cvv2", "");
  entrada.Add("FunctionType", "1");
  entrada.Add("Serial", state.Parametros.Serie);
  entrada.Add("PTid", state.Parametros.PTid);
  entrada.Add("InitialDeferment", s.InitialDeferment);
  entrada.Add("NumberOfPayments", s.NumberOfPayments);
  entrada.Add("PlanType", s.PlanType);
  entrada.Add("ID_Client_Tx", std::to_string(s.ID_Client_Tx));
  entrada.Add("ID_Server_Tx", std::to_string(s.ID_Server_Tx));
  return entrada;
}

}  // namespace

std::optional<drivers::CapacidadImporte> CapacidadDelModelo(const std::string& tipo) {
  if (tipo == "INGENICO3070" || tipo == "IPP320") return drivers::ingenico::kCapacidadImporte;
  if (tipo == "Vx810") return drivers::vx810::kCapacidadImporte;
  if (tipo == "OPTIMUM") return drivers::optimum::kCapacidadImporte;
  if (tipo == "NURIT293") return drivers::nurit293::kCapacidadImporte;
  return std::nullopt;
}

std::optional<Dictionary> EjecutaVenta(detail::ClienteState& state,
                                       const drivers::SolicitudVenta& solicitud) {
  const std::string& tipo = state.Parametros.Tipo;
  drivers::EntornoVenta entorno{state.Link(),      state.Parametros, state.Puerto,
                                state.ModoEntrada, state.op,         *state.clock};
  // A PIN pad held by another process ends the sale at its first step, before any card is
  // read; the result says so instead of a reading error.
  const auto en_uso = [&](Dictionary result) {
    if (state.Link().EnUso()) result.Set("Response_Message", std::string(platform::kPinPadEnUso));
    return result;
  };
  if (tipo == "INGENICO3070") {
    return en_uso(drivers::ingenico::VentaIngenico(entorno, solicitud,
                                                   drivers::ingenico::Modelo::kIngenico3070));
  }
  if (tipo == "IPP320") {
    return en_uso(
        drivers::ingenico::VentaIngenico(entorno, solicitud, drivers::ingenico::Modelo::kIPP320));
  }
  if (tipo == "Vx810") return en_uso(drivers::vx810::VentaVx810(entorno, solicitud));
  if (tipo == "OPTIMUM") return en_uso(drivers::optimum::VentaOptimum(entorno, solicitud));
  if (tipo == "NURIT293") {
    return drivers::nurit293::UnicaBancaria(EntradaNurit(state, solicitud),
                                            state.Parametros.UrlGateway, solicitud.TimeOut,
                                            state.op, *state.clock);
  }
  return std::nullopt;
}

}  // namespace tovalix::control
