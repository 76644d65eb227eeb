#include "control/shared_checks.hpp"

#include "common/number_text.hpp"
#include "control/check_failure.hpp"
#include "platform/safe_address.hpp"
#include "settings/store.hpp"

namespace tovalix::control {

bool CompruebaParametros(detail::ClienteState& state, Dictionary& resultado) {
  if (settings::CargaParametros(state.Parametros, state.op)) return true;
  return Rechaza(resultado, state.op, "Pin Pad mal inicializada (Kestrivo.exe). Llame al técnico.",
                 Caja::CriticaSinTitulo(
                     "TOVALIX : Pin Pad mal inicializada (Kestrivo.exe). Llame al técnico."));
}

bool CompruebaDatosPinPad(const detail::ClienteState& state, Dictionary& resultado, Operator& op) {
  const settings::Parametros& p = state.Parametros;
  const auto vacio = [](const std::string& text) { return TrimBlanks(text).empty(); };
  const auto critica = [](std::string texto = "") {
    return Caja::Critica(kEtapaDatosPinPad, std::move(texto));
  };

  if (vacio(p.UrlGateway)) {
    return Rechaza(resultado, op,
                   "Hubo algún error de inicialización de la pinpad. Vuelva a correr el proceso "
                   "de inicialización.",
                   Caja::Simple());
  }
  if (!platform::IsSafeAddress(p.UrlGateway)) {  // before the card is read, not after
    return Rechaza(resultado, op, platform::UnsafeAddressText(p.UrlGateway), Caja::Simple());
  }
  if (vacio(state.Puerto)) {
    return Rechaza(resultado, op, "La terminal no fué detectada. Verifique que este conectada.",
                   Caja::Ninguna());
  }
  if (vacio(p.Tipo)) {
    return Rechaza(resultado, op, " Error en lectura del Tipo de PinPad Instalado.",
                   critica("TOVALIX: Error en lectura del Tipo de PinPad Instalado."));
  }
  if (vacio(p.Serie)) {
    return Rechaza(resultado, op, "Error en lectura de No.Serie del PinPad Instalado.", critica());
  }
  if (TrimBlanks(p.Serie).size() > 20) {
    return Rechaza(resultado, op, "La longitud del No. Serie del Pinpad es incorrecto.", critica());
  }
  if (vacio(p.PTid)) {
    return Rechaza(
        resultado, op, "Error en lectura del Número de Terminal del PinPad Instalado.",
        critica("TOVALIX: Error en lectura del N´´umero de Terminal del PinPad Instalado."));
  }
  if (!IsNumeric(TrimBlanks(p.PTid))) {
    return Rechaza(resultado, op, "El número de terminal debe ser numérico.", critica());
  }
  if (TrimBlanks(p.PTid).size() > 9) {
    return Rechaza(resultado, op, "El número de terminal es máximo de 9 dígitos",
                   critica("TOVALIX: El número de terminal es máximo de 9 dígitos."));
  }
  if (vacio(p.TimeOutCreditDebit)) {
    return Rechaza(resultado, op,
                   "No se cuenta con tiempo de respuesta para procesar la transacción. Necesita "
                   "reinicializar su pinpad para obtenerlo y poder procesar.",
                   critica());
  }
  return true;
}

}  // namespace tovalix::control
