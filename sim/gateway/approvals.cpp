// The simulator's default answers: an approval for each process_type, echoing what the
// request carried where the real gateway echoes it.
#include <cstdio>
#include <string>

#include "sim/gateway/gateway_simulator.hpp"

namespace tovalix::sim {
namespace {

// "XXXXXXXXXXXX" and the last four digits of the card number on track 2 (before its "=").
std::string TruncatedCard(const std::string& track2) {
  std::string digits;
  for (const char c : track2) {
    if (c == '=') break;
    if (c >= '0' && c <= '9') digits += c;
  }
  if (digits.size() < 4) return "";
  return std::string(digits.size() - 4, 'X') + digits.substr(digits.size() - 4);
}

std::string Padded(std::size_t number, int width) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*zu", width, number % 1000000);
  return text;
}

void CardSale(const GatewayRequest& r, std::size_t n, GatewayAnswer& a) {
  a.Set("id_store", r.Value("Id_Store"))
      .Set("truncated", TruncatedCard(r.Value("track2")))
      .Set("amount", r.Value("Amount"))
      .Set("tip", r.Value("tip"))
      .Set("total", r.Value("total"))
      .Set("id_transaction", r.Value("id_transaction"))
      .Set("id_tx", std::to_string(100000 + n))
      .Set("operation_type", r.Value("operation_type"))
      .Set("authorization_number", Padded(123455 + n, 6))
      .Set("pos_entry_mode", r.Value("pos_entry_mode"))
      .Set("response_message", "APROBADA")
      .Set("affiliation", "7654321")
      .Set("opertype", r.Value("process_type") == "CDCash" ? "VENTA CON EFECTIVO" : "VENTA")
      .Set("cardtype", "CREDITO")
      .Set("issuingbank", "BANCO SIMULADO")
      .Set("id_terminal", r.Value("ptid"))
      .Set("Num_Sec", std::to_string(n));
}

void InitPos(GatewayAnswer& a) {
  a.Set("id_error", "0")
      .Set("response_message", "TERMINAL REGISTRADA")
      .Set("m_Description", "TIENDA SIMULADA")
      .Set("m_street", "AV. REFORMA")
      .Set("m_number", "100")
      .Set("m_interior", "2")
      .Set("m_colony", "CENTRO")
      .Set("m_municipality", "CUAUHTEMOC")
      .Set("m_city", "CIUDAD DE MEXICO")
      .Set("m_zip_code", "06000")
      .Set("m_rfc", "XAXX010101000")
      .Set("m_state", "CDMX")
      .Set("m_telephone", "5555555555")
      .Set("timeOut_telco", "40")
      .Set("timeOut_credit_debit", "55")
      .Set("timeOut_corresponsal", "45")
      .Set("timeOut_orex", "45")
      .Set("timeOut_giftCard", "45")
      .Set("timeOut_pinpadConfig", "30")
      .Set("timeOut_cashback", "55");
}

void GiftCard(const GatewayRequest& r, std::size_t n, GatewayAnswer& a) {
  a.Set("error", "")
      .Set("process_type", r.Value("process_type"))
      .Set("id_terminal", r.Value("ptid"))
      .Set("isnipassigned", "1")
      .Set("pos", "1")
      .Set("autho_number", Padded(223455 + n, 6))
      .Set("date_time", "2024-01-31 12:00:00")
      .Set("teller", "CAJERO SIMULADO")
      .Set("oper_number", r.Value("oper_number"))
      .Set("balance", "500")
      .Set("cardholder", "TITULAR SIMULADO")
      .Set("amount", r.Value("Amount"))
      .Set("points", "10")
      .Set("commission", "0")
      .Set("document", "DOC" + std::to_string(n))
      .Set("cancelled_amount", r.Value("Amount"))
      .Set("cancelled_oper_number", r.Value("oper_number"));
}

// The order book: orders numbered "ORD-<n>" are looked up, and only kOrden is in it; an order
// text outside that numbering is answered as available, so a record of any content gets the
// whole answer.
bool UnknownOrder(const GatewayRequest& r) {
  const std::string order = r.Value("orderNumber");
  return order.rfind("ORD-", 0) == 0 && order != kOrden;
}

void NoOrder(GatewayAnswer& a) {
  a.Set("autho_number", "").Set("response_code", "0").Set("status", "La orden no existe");
}

// A teller signs in with the card and the right NIP and out with neither; anyone else is
// refused with status "0".
void ConnectUser(const GatewayRequest& r, GatewayAnswer& a) {
  const bool known = r.Value("UserCB") == kCajero;
  const std::string type = r.Value("Operation_Type");
  const bool signed_in = known && ((type == "C" || type == "c")
                                       ? r.Value("Nip") == kNipCajero && !r.Value("Track2").empty()
                                       : type == "D" || type == "d");
  a.Set("status", signed_in ? "1" : "0").Set("teller", signed_in ? std::string(kNombreCajero) : "");
}

void RemittanceCheck(std::size_t n, GatewayAnswer& a) {
  a.Set("autho_number", Padded(323455 + n, 6))
      .Set("response_code", "1")
      .Set("date_time", "2024-01-31 12:00:00")
      .Set("deposit", "1000")
      .Set("service", "10")
      .Set("total", "1010")
      .Set("rate", "17.5")
      .Set("recieve", "1000")
      .Set("bank_autho", "BANCO SIMULADO")
      .Set("id_status", "1")
      .Set("status", "ORDEN DISPONIBLE")
      .Set("consignor_name", "REMITENTE SIMULADO")
      .Set("consignor_address", "DIRECCION DEL REMITENTE")
      .Set("beneficiary_name", "BENEFICIARIO SIMULADO")
      .Set("beneficiary_address", "DIRECCION DEL BENEFICIARIO");
}

}  // namespace

GatewayAnswer Approval(const GatewayRequest& request, std::size_t sequence) {
  GatewayAnswer answer;
  const std::string type = request.Value("process_type");
  if (type == "CDSaleCancel" || type == "CDCash") {
    CardSale(request, sequence, answer);
  } else if (type == "CDInitPOS") {
    InitPos(answer);
  } else if (type.rfind("GC", 0) == 0 && type != "GCSetNip") {
    GiftCard(request, sequence, answer);
  } else if (type == "OREXCheck" && UnknownOrder(request)) {
    NoOrder(answer);
  } else if (type == "OREXCheck") {
    RemittanceCheck(sequence, answer);
  } else if (type == "OREXPay" && UnknownOrder(request)) {
    answer.Set("response_code", "0").Set("status", "La orden no existe");
  } else if (type == "OREXPay") {
    answer.Set("response_code", "1").Set("status", "ORDEN PAGADA");
  } else if (type == "ConnectUser") {
    ConnectUser(request, answer);
  } else if (type == "Log") {
    answer.Set("status", "1");
  } else if (type == "GCSetNip") {
    answer.Set("error", "");
  } else if (type == "TellersCheck" && request.Value("Teller_login") == kCajero) {
    answer.Set("error_message", "").Set("name", std::string(kNombreCajero));
  } else if (type == "TellersCheck") {
    answer.Set("error_message", "CAJERO NO REGISTRADO").Set("name", "");
  }
  return answer;
}

}  // namespace tovalix::sim
