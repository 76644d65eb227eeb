// PagoTarjeta: checks the stored settings and the host's arguments, runs the sale flow of the
// configured PIN pad and completes its result with the merchant's data.
#include <array>
#include <tovalix/cliente.hpp>

#include "common/error_report.hpp"
#include "common/number_text.hpp"
#include "control/check_failure.hpp"
#include "control/cliente_state.hpp"
#include "control/sale_dispatch.hpp"
#include "control/shared_checks.hpp"
#include "drivers/models.hpp"
#include "drivers/sale_request.hpp"
#include "serial/port_discovery.hpp"

namespace tovalix {
namespace {

using control::Caja;
using control::Rechaza;

Dictionary ResultadoInicial(const drivers::SolicitudVenta& s, double monto, double propina,
                            double total) {
  // The head a sale flow's first values also have, then the merchant's entries.
  Dictionary r = drivers::PrimerosValoresVenta(
      s, "NO PASO LAS VALIDACIONES INICIALES.",
      {"Affiliation", "OperType", "CardType", "IssuingBank", "ID_Terminal", "Description",
       "Address1", "Address2", "RFC", "Num_Sec"});
  // The host's own numbers, before any of them is known to be an amount.
  r.Set("Amount", TextOfDouble(monto));
  r.Set("Tip", TextOfDouble(propina));
  r.Set("Total", TextOfDouble(total));
  r.Add("process_type", "CDSaleCancel");
  r.Add("Phone", "");
  r.Add("Servicio", "");
  return r;
}

bool EsBlanco(const std::string& text) {
  return TrimBlanks(text).empty();
}

// A plan field is blank or exactly two characters that form a number.
bool CompruebaPlan(Dictionary& r, Operator& op, const std::string& valor, const char* nombre) {
  if (EsBlanco(valor)) return true;
  if (valor.size() != 2) {
    return Rechaza(
        r, op, std::string("La longitud del parámetro ") + nombre + " es incorrecta, verifíquelo.",
        Caja::Simple());
  }
  if (!IsNumeric(valor)) {
    return Rechaza(r, op,
                   std::string("El campo ") + nombre + " solo debe traer números. Verifíquelo.",
                   Caja::Simple());
  }
  return true;
}

// The store must be one of the stores of the comma-separated list of the settings.
bool TiendaValida(std::string_view lista, std::int32_t tienda) {
  const auto es_tienda = [&](std::string_view entrada) {
    const auto numero = ParseNumber(entrada);
    return numero.has_value() && *numero == static_cast<double>(tienda);
  };
  while (!lista.empty()) {
    const std::size_t coma = lista.find(',');
    if (coma == std::string_view::npos) return es_tienda(lista);
    if (es_tienda(lista.substr(0, coma))) return true;
    lista.remove_prefix(coma + 1);
  }
  return false;
}

// One of the host's amounts as the messages of this stage name it.
struct ImporteHost {
  const char* nombre;
  double valor;
};

std::string ImporteNoValido(const ImporteHost& importe, std::string_view falta) {
  return std::string("El ") + importe.nombre + " " + TextOfDouble(importe.valor) +
         " no es un importe válido: " + std::string(falta) + ".";
}

std::string_view FaltaDelHost(Money::Fault falta) {
  switch (falta) {
    case Money::Fault::kNotFinite:
      return "no es un número finito";
    case Money::Fault::kSubCentavo:
      return "tiene fracción de centavo";
    default:
      return "excede lo que la PIN pad puede recibir";
  }
}

// The host's doubles become the sale's amounts, whole centavos, and are checked in the order
// the hosts know; a number that is no amount at all (it has no sign to judge) goes first, what
// the model's amount fields cannot carry last.
bool CompruebaImportes(Dictionary& r, Operator& op, double monto, double propina, double total,
                       const drivers::CapacidadImporte& capacidad, drivers::SolicitudVenta& s) {
  const auto critica = [] { return Caja::Critica(control::kEtapaDatosEnviados); };
  const std::array<ImporteHost, 3> importes = {{{"Monto del Cobro", monto},
                                                {"Monto de la Propina", propina},
                                                {"Importe Total de la Compra", total}}};
  for (const ImporteHost& importe : importes) {
    const Money::Fault falta = Money::CheckHost(importe.valor);
    if (falta != Money::Fault::kNone) {
      return Rechaza(r, op, ImporteNoValido(importe, FaltaDelHost(falta)), critica());
    }
  }
  s.Amount = *Money::FromHost(monto);
  s.Tip = *Money::FromHost(propina);
  s.Total = *Money::FromHost(total);
  if (s.Amount <= Money()) {
    return Rechaza(r, op, "El Monto del Cobro no puede ser menor o igual a cero.", critica());
  }
  if (s.Tip < Money()) {
    return Rechaza(r, op, "El Monto de la Propina no puede ser  menor  a cero.", critica());
  }
  if (s.Total <= Money()) {
    return Rechaza(r, op, "El Importe Total de la Compra no puede ser menor o igual a cero.",
                   critica());
  }
  if (s.Amount + s.Tip != s.Total) {
    return Rechaza(r, op,
                   "El Total de la Compra reportado no coincide con la suma del Monto y la "
                   "Propina.",
                   critica());
  }
  if (s.Operation_Type < 1 || s.Operation_Type > 3) {
    return Rechaza(r, op, "El Operation_Type solo puede tener valor de 1,2 ó 3", critica());
  }
  if (s.Operation_Type == 2) {
    if (!IsNumeric(s.Authorization_Number)) {
      return Rechaza(r, op, "No ingresó el AutorizationNumber para la Cancelación.", critica());
    }
    if (ToLong(s.Authorization_Number) <= 0) {
      return Rechaza(r, op, "El Authorization Number no puede ser menor o igual a cero.",
                     Caja::Simple());
    }
  } else if (!EsBlanco(s.Authorization_Number)) {
    return Rechaza(r, op, "Solo en cancelaciones se debe llenar el Authorization Number.",
                   Caja::Simple());
  }
  const std::array<Money, 3> exactos = {s.Amount, s.Tip, s.Total};
  for (std::size_t i = 0; i < exactos.size(); ++i) {
    if (exactos[i].Centavos() > capacidad.maximo) {
      return Rechaza(r, op, ImporteNoValido(importes[i], FaltaDelHost(Money::Fault::kTooLarge)),
                     critica());
    }
    if (capacidad.solo_pesos && exactos[i].HasCentavos()) {
      return Rechaza(
          r, op,
          ImporteNoValido(importes[i], "tiene centavos y la PIN pad solo recibe pesos enteros"),
          critica());
    }
  }
  return true;
}

void AgregaDatosComercio(Dictionary& r, const settings::Parametros& p) {
  r.Set("Servicio", "");
  r.Set("Description", p.Descripcion);
  r.Set("Address1", p.Direccion1);
  r.Set("Address2", p.Direccion2);
  r.Set("Address3", p.Direccion3);
  r.Set("RFC", p.Rfc);
  r.Set("Phone", p.Telefono);
}

}  // namespace

Dictionary Cliente::PagoTarjeta(std::int32_t vpID_Store, double vpAmount, double vpTip,
                                double vpTotal, std::int32_t vpID_Transaction,
                                std::int16_t vpOperation_Type,
                                const std::string& vpAuthorization_Number,
                                std::int32_t vpID_Client_Tx, std::int32_t vpID_Server_Tx,
                                const std::string& vpInitialDeferment,
                                const std::string& vpNumberOfPayments,
                                const std::string& vpPlanType) {
  detail::ClienteState& state = *state_;
  Operator& op = state.op;
  // The amounts stay zero until they pass their checks.
  drivers::SolicitudVenta solicitud{vpID_Store,
                                    {},
                                    {},
                                    {},
                                    vpID_Transaction,
                                    vpOperation_Type,
                                    vpAuthorization_Number,
                                    vpID_Client_Tx,
                                    vpID_Server_Tx,
                                    vpInitialDeferment,
                                    vpNumberOfPayments,
                                    vpPlanType,
                                    "",
                                    1,
                                    ""};
  Dictionary resultado = ResultadoInicial(solicitud, vpAmount, vpTip, vpTotal);
  state.ModoEntrada = 0;

  RunTrapped(op, [&] {
    state.Link().LimpiaBuffer();
    if (!control::CompruebaParametros(state, resultado)) return;

    state.Puerto = serial::AsignaPuerto(drivers::PortNamesOf(state.Parametros.Tipo), op);
    if (vpOperation_Type == 3 && vpID_Client_Tx == 0 && vpID_Server_Tx == 0) {
      Rechaza(resultado, op,
              "Para la Verificación debe ingresar por lo menos un ID Transacción en los "
              "parámetros de entrada.",
              Caja::Simple());
      return;
    }
    if (!CompruebaPlan(resultado, op, vpInitialDeferment, "InitialDeferment") ||
        !CompruebaPlan(resultado, op, vpNumberOfPayments, "NumberOfPayments") ||
        !CompruebaPlan(resultado, op, vpPlanType, "PlanType")) {
      return;
    }
    if (!control::CompruebaDatosPinPad(state, resultado, op)) return;
    if (!TiendaValida(state.Parametros.IdStore, vpID_Store)) {
      Rechaza(resultado, op, "EL ID STORE QUE MANDO NO ES VALIDO.", Caja::CriticaSinTitulo());
      return;
    }
    const drivers::CapacidadImporte capacidad =
        control::CapacidadDelModelo(state.Parametros.Tipo).value_or(drivers::CapacidadImporte{});
    if (!CompruebaImportes(resultado, op, vpAmount, vpTip, vpTotal, capacidad, solicitud)) {
      return;
    }

    drivers::SolicitudVenta venta = solicitud;
    venta.TimeOut = state.Parametros.TimeOutCreditDebit;
    std::optional<Dictionary> delFlujo = control::EjecutaVenta(state, venta);
    if (!delFlujo) {
      Rechaza(resultado, op, "La PinPad no esta incluída en esta aplicación.", Caja::Simple());
      return;
    }
    resultado = std::move(*delFlujo);
    AgregaDatosComercio(resultado, state.Parametros);
  });
  // Whatever happened, the port is not left open behind the host's back.
  state.Link().Cierra();
  return resultado;
}

}  // namespace tovalix
