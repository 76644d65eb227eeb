#include "gateway/wire_format.hpp"

#include <initializer_list>
#include <utility>

#include "common/number_text.hpp"
#include "gateway/process.hpp"

namespace tovalix::gateway {
namespace {

using Pair = std::pair<const char*, std::string>;

std::string Join(std::initializer_list<Pair> pairs) {
  std::string body;
  for (const auto& [name, value] : pairs) {
    if (!body.empty()) body += '&';
    body += name;
    body += '=';
    body += EncodeFormValue(value);
  }
  return body;
}

std::string Text(std::int32_t value) {
  return std::to_string(value);
}
std::string Text(Money value) {
  return value.Text();
}

}  // namespace

std::string EncodeFormValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (const char c : value) {
    switch (c) {
      case '&':
        out += "%26";
        break;
      case '%':
        out += "%25";
        break;
      case '+':
        out += "%2B";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string FormBody(const PinPad& r, std::int16_t process) {
  const std::string type = ProcessType(r, process);
  switch (process) {
    case kCardSale:
      return Join({{"Id_Store", Text(r.ID_Store())},
                   {"Amount", Text(r.Amount())},
                   {"tip", Text(r.Tip())},
                   {"total", Text(r.Total())},
                   {"id_transaction", Text(r.ID_Transaction())},
                   {"track2", r.track2()},
                   {"serial", r.Serial()},
                   {"ptid", r.PTid()},
                   {"operation_type", Text(r.Operation_Type())},
                   {"authorization_number", r.Authorization_Number()},
                   {"pos_entry_mode", Text(r.Pos_entry_mode())},
                   {"emv_tags", r.emv_tags()},
                   {"cvv2", r.Cvv2()},
                   {"process_type", type},
                   {"ID_Client_Tx", Text(r.ID_Client_Tx())},
                   {"ID_Server_Tx", Text(r.ID_Server_Tx())},
                   {"InitialDeferment", r.InitialDeferment()},
                   {"NumberOfPayments", r.NumberOfPayments()},
                   {"PlanType", r.PlanType()},
                   {"track1", r.track1()}});
    case kInitPos:
      return Join({{"Id_Store", Text(r.ID_Store())},
                   {"serial", r.Serial()},
                   {"ptid", r.PTid()},
                   {"process_type", type}});
    case kGiftCard:
      return Join({{"serial", r.Serial()},
                   {"ptid", r.PTid()},
                   {"oper_number", r.Authorization_Number()},
                   {"track2", r.track2()},
                   {"posTimeStamp", r.PosTimeStamp()},
                   {"Amount", Text(r.Amount())},
                   {"Nip", r.Nip()},
                   {"process_type", type},
                   {"track1", r.track1()}});
    case kRemittanceCheck:
      return Join({{"orderNumber", r.Authorization_Number()}, {"process_type", type}});
    case kRemittancePay:
      return Join({{"orderNumber", r.Authorization_Number()},
                   {"visa", r.emv_tags()},
                   {"pasaporte", r.track2()},
                   {"green_card", r.track1()},
                   {"ss", r.Serial()},
                   {"matricula_consular", r.PTid()},
                   {"ide", r.Nip()},
                   {"licencia", r.PosTimeStamp()},
                   {"process_type", type}});
    case kConnectUser:
      return Join({{"UserCB", r.OpNumber()},
                   {"Nip", r.Nip()},
                   {"Track2", r.track2()},
                   {"Operation_Type", r.Serial()},
                   {"process_type", type}});
    case kLog:
      return Join({{"operation_type", r.PlanType()},
                   {"total", Text(r.Total())},
                   {"date_time", r.Tipo_Terminal()},
                   {"truncated", r.Truncated()},
                   {"address1", r.Authorization_Number()},
                   {"address2", r.emv_tags()},
                   {"address3", r.Cvv2()},
                   {"brand", r.track1()},
                   {"rfc", r.Serial()},
                   {"phone", r.PTid()},
                   {"teller", r.PosTimeStamp()},
                   {"response_message", r.Response_Message()},
                   {"process_type", type}});
    case kGiftCardSetNip:
      return Join({{"nip", r.Nip()},
                   {"serial", r.Serial()},
                   {"ptid", r.PTid()},
                   {"process_type", type},
                   {"track2", r.track2()},
                   {"track1", r.track1()}});
    case kTellersCheck:
      return Join({{"Teller_login", r.Authorization_Number()},
                   {"serial", r.Serial()},
                   {"ptid", r.PTid()},
                   {"process_type", type}});
    default:
      return "";
  }
}

}  // namespace tovalix::gateway
