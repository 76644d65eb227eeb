#include "gateway/resultado_default.hpp"

#include <string>

#include "common/number_text.hpp"
#include "gateway/process.hpp"

namespace tovalix::gateway {
namespace {

void AddEmpty(Dictionary& result, std::initializer_list<const char*> keys) {
  for (const char* key : keys) result.Add(key, "");
}

void CardSale(const PinPad& r, Dictionary& d) {
  d.Add("process_type", ProcessType(r, kCardSale));
  AddEmpty(d, {"ARQC", "AID"});
  d.Add("ID_Store", std::to_string(r.ID_Store()));
  d.Add("Truncated", "");
  d.Add("Amount", r.Amount().Text());
  d.Add("Tip", r.Tip().Text());
  d.Add("Total", r.Total().Text());
  d.Add("ID_Transaction", std::to_string(r.ID_Transaction()));
  d.Add("ID_Tx", "-3");
  d.Add("Operation_Type", std::to_string(r.Operation_Type()));
  d.Add("Authorization_Number", "000000");
  d.Add("Response_Message", kErrorAlEnviar);
  AddEmpty(d, {"Affiliation", "OperType", "CardType", "IssuingBank", "ID_Terminal", "Num_Sec"});
}

void InitPos(Dictionary& d) {
  d.Add("ID_Error", "-3");
  d.Add("Response_Message", kErrorAlEnviar);
  AddEmpty(d, {"m_Description", "m_street", "m_number", "m_interior", "m_colony", "m_municipality",
               "m_city", "m_zip_code", "m_rfc", "m_state", "m_telephone", "timeOut_telco",
               "timeOut_credit_debit"});
}

void GiftCard(const PinPad& r, Dictionary& d) {
  const std::int16_t operation = r.Operation_Type();
  if (operation >= 0 && operation <= 2) d.Add("Amount", r.Amount().Text());
  d.Add("error", kErrorAlEnviar);
  AddEmpty(d, {"pos", "autho_number", "date_time", "teller", "oper_number", "document", "balance",
               "cardholder", "isNipAssigned"});
  if (operation == 1) d.Add("points", "");
  if (operation == 2) d.Add("commission", "");
  d.Add("process_type", ProcessType(r, kGiftCard));
  AddEmpty(d, {"ID_Terminal", "cancelled_amount", "cancelled_oper_number"});
}

void RemittanceCheck(Dictionary& d) {
  AddEmpty(d, {"autho_number", "response_code", "date_time", "deposit", "service", "total", "rate",
               "recieve", "bank_autho"});
  d.Add("id_status", "0");
  d.Add("status", "Error al buscar la orden");
  AddEmpty(d, {"consignor_name", "consignor_address", "beneficiary_name", "beneficiary_address"});
}

}  // namespace

Dictionary ResultadoDefault(const PinPad& record, std::int16_t process) {
  Dictionary d;
  switch (process) {
    case kCardSale:
      CardSale(record, d);
      break;
    case kInitPos:
      InitPos(d);
      break;
    case kGiftCard:
      GiftCard(record, d);
      break;
    case kRemittanceCheck:
      RemittanceCheck(d);
      break;
    case kRemittancePay:
      d.Add("response_code", "");
      d.Add("status", "Error al buscar la orden");
      break;
    case kConnectUser:
      d.Add("status", "0");
      d.Add("teller", "");
      break;
    case kLog:
      d.Add("status", "0");
      break;
    case kGiftCardSetNip:
      d.Add("error", kErrorAlEnviar);
      AddEmpty(d, {"track2", "pos", "date_time", "teller"});
      break;
    case kTellersCheck:
      d.Add("error_message", "ERROR AL ENVIAR AL GATEWAY LA VERIFICACION DEL PASSWORD");
      d.Add("name", "");
      break;
    default:
      break;
  }
  return d;
}

}  // namespace tovalix::gateway
