#include "gateway/prueba_config_pin_pad.hpp"

#include <utility>

#include "common/deployment.hpp"
#include "common/error_report.hpp"
#include "common/number_text.hpp"
#include "common/text_encoding.hpp"
#include "gateway/process.hpp"
#include "gateway/web_transaction.hpp"

namespace tovalix::gateway {
namespace {

Dictionary PreFilled() {
  Dictionary d;
  d.Add("ID_Error", "-3");
  d.Add("Response_Message", "TOVALIX: Problema al hacer la Prueba de Configuración");
  for (const char* key :
       {"m_Description", "m_street", "m_number", "m_interior", "m_colony", "m_municipality",
        "m_city", "m_zip_code", "m_rfc", "m_state", "timeOut_telco", "timeOut_credit_debit"}) {
    d.Add(key, "");
  }
  return d;
}

std::string RegistrationMessage() {
  return "TOVALIX: No dió de Alta el Número de Serie de la terminal que está instalando. Por "
         "favor llame a Operaciones al Tel." +
         OperationsPhone() +
         " para que le dén de alta la Terminal y pueda continuar con la operación.";
}

}  // namespace

Dictionary PruebaConfigPinPad(PinPad& record, const std::string& store, const std::string& serial,
                              const std::string& ptid, const std::string& url,
                              const std::string& timeout, Operator& op) {
  Dictionary result;
  RunTrapped(op, [&] {
    result = PreFilled();
    record.ID_Store(ToLong(store));
    record.Serial(serial);
    record.PTid(ptid);
    Dictionary answer = WebTransaction(record, url, kInitPos, timeout, op);
    const std::string id_error(TrimBlanks(answer.Item("ID_Error")));
    if (id_error == "0") {
      result = std::move(answer);
      return;
    }
    if (id_error.empty()) return;  // no verdict from the gateway: nothing to tell the installer
    const std::string& message = answer.Item("Response_Message");
    op.MessageBox(message == "DISPOSITIVO NO EXISTE O ESTA INACTIVO" ? RegistrationMessage()
                                                                     : QuotePeer(message),
                  Operator::kPlain, "");
  });
  return result;
}

}  // namespace tovalix::gateway
