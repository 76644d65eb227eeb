#include <utility>

#include "common/deployment.hpp"
#include "common/error_report.hpp"
#include "common/failure.hpp"
#include "common/number_text.hpp"
#include "counter/corresponsal.hpp"
#include "counter/mostrador.hpp"
#include "counter/remesas.hpp"
#include "gateway/pin_pad.hpp"
#include "gateway/process.hpp"
#include "gateway/web_transaction.hpp"

namespace tovalix::counter {
namespace {

// An entry of the host's log dictionary; a missing one is a failure, not an empty text.
const std::string& Entrada(const Dictionary& bitacora, std::string_view clave) {
  if (!bitacora.Exists(clave)) {
    throw Failure("Falta el dato \"" + std::string(clave) + "\" de la bitácora");
  }
  return bitacora.Item(clave);
}

}  // namespace

Dictionary RegistraBitacora(settings::Parametros& parametros, std::string& puerto, Operator& op,
                            const Dictionary& bitacora) {
  Dictionary resultado;
  resultado.Add("status", "");
  RunTrapped(op, [&] {
    if (!InicioCorresponsal(parametros, puerto, op)) return;

    // The log rides in the record's fields; the gateway's form names say what each one is.
    gateway::PinPad registro;
    const auto numero = ParseNumber(Entrada(bitacora, "total"));
    const auto total = numero ? Money::FromHost(*numero) : std::nullopt;
    if (!total) throw Failure("No coinciden los tipos");
    registro.Total(*total);
    registro.Tipo_Terminal(Entrada(bitacora, "date_time"));
    const std::string& truncada = Entrada(bitacora, "truncated");
    registro.Truncated(truncada.empty() ? "0" : truncada);
    registro.Authorization_Number(Entrada(bitacora, "address1"));
    registro.emv_tags(Entrada(bitacora, "address2"));
    registro.Cvv2(Entrada(bitacora, "address3"));
    registro.track1(Entrada(bitacora, "brand"));
    registro.Serial(Entrada(bitacora, "rfc"));
    registro.PTid(Entrada(bitacora, "phone"));
    registro.PosTimeStamp(Entrada(bitacora, "teller"));
    registro.Response_Message(Entrada(bitacora, "response_message"));
    registro.PlanType(Entrada(bitacora, "operation_type"));

    Dictionary respuesta =
        gateway::WebTransaction(registro, CounterUrl() + std::string(kRutaBitacora), gateway::kLog,
                                TiempoMostrador(parametros.TimeOutCorresponsal), op);
    AgregaDatosComercio(respuesta, parametros);
    resultado = std::move(respuesta);
  });
  return resultado;
}

}  // namespace tovalix::counter
