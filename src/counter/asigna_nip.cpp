#include "counter/asigna_nip.hpp"

#include <utility>

#include "common/error_report.hpp"
#include "common/number_text.hpp"
#include "counter/mostrador.hpp"
#include "counter/remesas.hpp"
#include "gateway/pin_pad.hpp"
#include "gateway/process.hpp"
#include "gateway/web_transaction.hpp"
#include "settings/store.hpp"

namespace tovalix::counter {
namespace {

// Every check, in order; false at the first refusal.
bool CompruebaAsignacion(settings::Parametros& parametros, const std::string& puerto, Operator& op,
                         const std::string& nip, const std::string& track1,
                         const std::string& track2) {
  if (Longitud(nip) != 4) return Aviso(op, "TOVALIX: La longitud del NIP  debe ser de 4 ");
  if (!IsNumeric(nip)) return Aviso(op, "TOVALIX: El NIP Sólo acepta números");
  if (Blanco(track1) || Blanco(track2)) {
    return Aviso(op, "TOVALIX: No se recibieron los datos de la tarjeta.");
  }
  if (!settings::CargaParametros(parametros, op)) return AvisoCritico(op, kMalInicializada);
  if (Blanco(parametros.UrlGateway)) return Aviso(op, kErrorInicializacion);
  if (!DireccionSegura(op, parametros.UrlGateway)) return false;
  if (Blanco(puerto)) return false;  // no operation has found the PIN pad yet
  // These boxes carry the tested value as their title.
  if (Blanco(parametros.Tipo)) return AvisoCritico(op, kErrorTipo, parametros.Tipo);
  if (Blanco(parametros.Serie)) return AvisoCritico(op, kErrorSerie, parametros.Serie);
  if (Longitud(TrimBlanks(parametros.Serie)) > kLongitudMaximaSerie) {
    return AvisoCritico(op, kLongitudSerie, parametros.Serie);
  }
  return true;
}

}  // namespace

Dictionary AsignaNip(settings::Parametros& parametros, const std::string& puerto, Operator& op,
                     const std::string& nip, const std::string& track1, const std::string& track2) {
  Dictionary resultado;
  resultado.Add("error", "ERROR AL LEER LA TARJETA");
  for (const char* clave : {"track2", "pos", "date_time", "teller"}) resultado.Add(clave, "");
  RunTrapped(op, [&] {
    if (!CompruebaAsignacion(parametros, puerto, op, nip, track1, track2)) return;
    gateway::PinPad registro;
    registro.Serial(parametros.Serie);
    registro.PTid(parametros.PTid);
    registro.Nip(nip);
    registro.track1(track1);
    registro.track2(track2);
    Dictionary respuesta =
        gateway::WebTransaction(registro, parametros.UrlGateway, gateway::kGiftCardSetNip,
                                TiempoMostrador(parametros.TimeOutGiftCard), op);
    AgregaDatosComercio(respuesta, parametros);
    respuesta.Set("Servicio", "");
    resultado = std::move(respuesta);
  });
  return resultado;
}

}  // namespace tovalix::counter
