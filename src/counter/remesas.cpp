#include "counter/remesas.hpp"

#include <utility>

#include "common/error_report.hpp"
#include "common/number_text.hpp"
#include "counter/mostrador.hpp"
#include "gateway/pin_pad.hpp"
#include "gateway/process.hpp"
#include "gateway/web_transaction.hpp"
#include "settings/store.hpp"

namespace tovalix::counter {
namespace {

constexpr std::string_view kSinOrden = "Error al buscar la orden";

// The checks both procedures share, in order; false at the first refusal.
bool CompruebaRemesa(settings::Parametros& parametros, Operator& op, const std::string& orden) {
  if (!settings::CargaParametros(parametros, op)) {
    return AvisoCritico(op, "TOVALIX : Pin Pad mal inicializada (Kestrivo.exe). Llame al técnico.");
  }
  if (Blanco(parametros.UrlGateway)) return Aviso(op, "TOVALIX: No se encontró la URL.");
  if (!DireccionSegura(op, parametros.UrlGateway)) return false;
  if (Blanco(orden)) return Aviso(op, "REMESAS : Falta indicar la orden");
  return true;
}

bool SinDocumentos(const Identificaciones& d) {
  return Blanco(d.visa) && Blanco(d.pasaporte) && Blanco(d.green_card) && Blanco(d.seguro_social) &&
         Blanco(d.matricula_consular) && Blanco(d.ide) && Blanco(d.licencia);
}

}  // namespace

std::string TiempoMostrador(const std::string& guardado) {
  return Blanco(guardado) ? std::string(kTimeOutOrexPredeterminado) : guardado;
}

std::string TimeOutRemesa(const settings::Parametros& parametros) {
  const std::string& guardado = parametros.TimeOutOrex;
  return IsNumeric(guardado) ? guardado : TiempoMostrador("");
}

Dictionary ConsultaRemesa(settings::Parametros& parametros, Operator& op,
                          const std::string& orden) {
  Dictionary resultado;
  for (const char* clave : {"autho_number", "response_code", "date_time", "deposit", "service",
                            "total", "rate", "recieve", "bank_autho"}) {
    resultado.Add(clave, "");
  }
  resultado.Add("id_status", "0");
  resultado.Add("status", std::string(kSinOrden));
  for (const char* clave :
       {"consignor_name", "consignor_address", "beneficiary_name", "beneficiary_address"}) {
    resultado.Add(clave, "");
  }
  RunTrapped(op, [&] {
    if (!CompruebaRemesa(parametros, op, orden)) return;
    gateway::PinPad registro;
    registro.Authorization_Number(orden);  // posted as "orderNumber"
    resultado = gateway::WebTransaction(registro, parametros.UrlGateway, gateway::kRemittanceCheck,
                                        TimeOutRemesa(parametros), op);
  });
  return resultado;
}

Dictionary PagaRemesa(settings::Parametros& parametros, Operator& op, const std::string& orden,
                      const Identificaciones& documentos) {
  Dictionary resultado;
  resultado.Add("response_code", "");
  resultado.Add("status", std::string(kSinOrden));
  RunTrapped(op, [&] {
    if (!CompruebaRemesa(parametros, op, orden)) return;
    if (SinDocumentos(documentos)) {
      Aviso(op, "REMESAS : Debe haber un número de identificación para efectuar el pago.");
      return;
    }
    // The documents ride in the record's fields; the gateway's form names say which is which.
    gateway::PinPad registro;
    registro.Authorization_Number(orden);
    registro.emv_tags(documentos.visa);
    registro.track2(documentos.pasaporte);
    registro.track1(documentos.green_card);
    registro.Serial(documentos.seguro_social);
    registro.PTid(documentos.matricula_consular);
    registro.Nip(documentos.ide);
    registro.PosTimeStamp(documentos.licencia);
    resultado = gateway::WebTransaction(registro, parametros.UrlGateway, gateway::kRemittancePay,
                                        TimeOutRemesa(parametros), op);
  });
  return resultado;
}

}  // namespace tovalix::counter
