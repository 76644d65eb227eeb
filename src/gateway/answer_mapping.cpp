#include "gateway/answer_mapping.hpp"

#include <initializer_list>
#include <utility>

#include "common/failure.hpp"
#include "common/number_text.hpp"
#include "gateway/process.hpp"

namespace tovalix::gateway {
namespace {

using KeyFromHeader = std::pair<const char*, const char*>;

class Mapper {
 public:
  Mapper(Dictionary& answer, const HeaderReader& header) : answer_(answer), header_(header) {}

  void From(std::initializer_list<KeyFromHeader> entries) {
    for (const auto& [key, name] : entries) answer_.Add(key, header_(name));
  }
  // Keys taken from the header of the same name.
  void Same(std::initializer_list<const char*> names) {
    for (const char* name : names) answer_.Add(name, header_(name));
  }
  // A header read as a number; empty or not a number is a failure of the exchange.
  double Number(std::string_view name) const {
    const auto number = ParseNumber(header_(name));
    if (!number) throw Failure("No coinciden los tipos");
    return *number;
  }

 private:
  Dictionary& answer_;
  const HeaderReader& header_;
};

void CardSale(const PinPad& r, Mapper& m, Dictionary& d) {
  m.From({{"ID_Store", "id_store"},
          {"Truncated", "truncated"},
          {"Amount", "amount"},
          {"Tip", "tip"},
          {"Total", "total"},
          {"ID_Transaction", "id_transaction"},
          {"ID_Tx", "id_tx"},
          {"Operation_Type", "operation_type"},
          {"Authorization_Number", "authorization_number"},
          {"Pos_entry_mode", "pos_entry_mode"},
          {"Response_Message", "response_message"},
          {"Affiliation", "affiliation"},
          {"OperType", "opertype"},
          {"CardType", "cardtype"},
          {"IssuingBank", "issuingbank"},
          {"ID_Terminal", "id_terminal"},
          {"Num_Sec", "Num_Sec"}});
  d.Add("process_type", ProcessType(r, kCardSale));
  // The chip data are echoed only for a chip reading.
  const bool chip = m.Number("pos_entry_mode") == 2;
  d.Add("ARQC", chip ? r.ARQC() : "");
  d.Add("AID", chip ? r.AID() : "");
}

}  // namespace

Dictionary MapAnswer(const PinPad& r, std::int16_t process, const HeaderReader& header) {
  Dictionary d;
  Mapper m(d, header);
  switch (process) {
    case kCardSale:
      CardSale(r, m, d);
      break;
    case kInitPos:
      m.From({{"ID_Error", "id_error"}, {"Response_Message", "response_message"}});
      m.Same({"m_Description", "m_street", "m_number", "m_interior", "m_colony", "m_municipality",
              "m_city", "m_zip_code", "m_rfc", "m_state", "m_telephone", "timeOut_telco",
              "timeOut_credit_debit", "timeOut_corresponsal", "timeOut_orex", "timeOut_giftCard",
              "timeOut_pinpadConfig", "timeOut_cashback"});
      break;
    case kGiftCard: {
      const std::int16_t operation = r.Operation_Type();
      m.Same({"error", "process_type"});
      m.From({{"ID_Terminal", "id_terminal"}});
      if (operation == 1) m.From({{"isNipAssigned", "isnipassigned"}});
      if (!d.Item("error").empty()) break;  // the gateway refused: nothing more to read
      m.Same(
          {"pos", "autho_number", "date_time", "teller", "oper_number", "balance", "cardholder"});
      if (operation >= 0 && operation <= 2) m.Same({"amount"});
      if (operation == 1) m.Same({"points"});
      if (operation == 2) m.Same({"commission"});
      if (operation != 3 && operation != 4) m.Same({"document"});
      if (operation == 4) m.Same({"cancelled_amount", "cancelled_oper_number"});
      break;
    }
    case kRemittanceCheck:
      m.Same({"autho_number", "response_code"});
      if (m.Number("response_code") == 1) {
        m.Same({"date_time", "deposit", "service", "total", "rate", "recieve", "bank_autho",
                "id_status", "status", "consignor_name", "consignor_address", "beneficiary_name",
                "beneficiary_address"});
      } else {
        d.Add("id_status", "0");
        d.Add("status", "La orden no existe");
      }
      break;
    case kRemittancePay:
      m.Same({"response_code", "status"});
      break;
    case kConnectUser:
      m.Same({"status", "teller"});
      break;
    case kLog:
      m.Same({"status"});
      break;
    case kGiftCardSetNip:
      m.Same({"error"});
      break;
    case kTellersCheck:
      m.Same({"error_message", "name"});
      break;
    default:
      break;
  }
  return d;
}

}  // namespace tovalix::gateway
