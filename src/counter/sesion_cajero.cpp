#include <utility>

#include "common/deployment.hpp"
#include "common/error_report.hpp"
#include "common/number_text.hpp"
#include "counter/corresponsal.hpp"
#include "counter/mostrador.hpp"
#include "counter/remesas.hpp"
#include "gateway/pin_pad.hpp"
#include "gateway/process.hpp"
#include "gateway/web_transaction.hpp"

namespace tovalix::counter {
namespace {

// The teller's data, in the order they are checked; false at the first refusal.
bool CompruebaCajero(Operator& op, const std::string& usuario, const std::string& nip,
                     const std::string& track2, const std::string& tipo_operacion) {
  const std::string tipo = Mayusculas(tipo_operacion);
  if (Blanco(usuario)) return Aviso(op, "TOVALIX: El Usuario es un dato obligatorio.");
  if (Longitud(usuario) != 8) {
    return Aviso(op, "TOVALIX: El No. de Operador debe tener una longitud de 8 dígitos.");
  }
  if (!IsNumeric(usuario)) {
    return AvisoCritico(op, "TOVALIX: El No. de Operador debe ser numérico.", kEtapaDatosEnviados);
  }
  if (TresIgualesSeguidos(usuario)) {
    return Aviso(op,
                 "TOVALIX: El No. de Operador no puede tener más de dos dígitos iguales, juntos.");
  }
  if (tipo == "C" && Blanco(nip)) return Aviso(op, "TOVALIX: No ingresó el NIP, verifique.");
  if (!Blanco(nip)) {
    if (Longitud(nip) != 4) return Aviso(op, "TOVALIX: El NIP debe ser de 4 dígitos.");
    if (!IsNumeric(nip)) return Aviso(op, "TOVALIX: El NIP debe ser numérico.");
    if (TresIgualesSeguidos(nip)) {
      return Aviso(op, "TOVALIX: El NIP no puede tener más de dos dígitos iguales, juntos.");
    }
  }
  // A connection in lower case needs its card as much as one in upper case does.
  if (Blanco(track2) && tipo == "C") {
    return Aviso(op, "Problemas al leer la Tarjeta, reintente.");
  }
  if (tipo != "C" && tipo != "D") {
    return Aviso(op, "TOVALIX: El Tipo de Operacion sólo puede ser C = Connect ó D = Disconnect ");
  }
  return true;
}

}  // namespace

Dictionary SesionCajero(settings::Parametros& parametros, std::string& puerto, Operator& op,
                        const std::string& usuario, const std::string& nip,
                        const std::string& track2, const std::string& tipo_operacion) {
  Dictionary resultado;
  resultado.Add("status", "");
  resultado.Add("teller", "");
  RunTrapped(op, [&] {
    if (!InicioCorresponsal(parametros, puerto, op)) return;
    if (!CompruebaCajero(op, usuario, nip, track2, tipo_operacion)) return;

    gateway::PinPad registro;
    registro.Nip(nip);
    registro.Serial(tipo_operacion);  // the gateway reads the operation type from "serial"
    registro.track2(track2);
    registro.OpNumber(usuario);
    Dictionary respuesta = gateway::WebTransaction(
        registro, CounterUrl() + std::string(kRutaSesionCajero), gateway::kConnectUser,
        TiempoMostrador(parametros.TimeOutCorresponsal), op);
    AgregaDatosComercio(respuesta, parametros);
    resultado = std::move(respuesta);
  });
  return resultado;
}

}  // namespace tovalix::counter
