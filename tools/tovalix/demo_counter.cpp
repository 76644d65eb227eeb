#include "demo_counter.hpp"

#include <fstream>
#include <tovalix/cliente.hpp>
#include <tovalix/mostrador.hpp>

#include "sim/optimum/optimum_pinpad.hpp"

namespace tovalix::cli {
namespace {

// A made-up teller card: it never leaves the demo.
constexpr const char* kTellerTrack2 = "5204160000000018=31121011234567";
constexpr const char* kOrder = "ORD-7";  // the one order the simulated service holds

// What the printer got, without its contents: the copy's label, its lines and bytes.
std::string Summary(const std::string& text) {
  std::string label = "print text";
  for (const char* copy : {"COPIA CLIENTE", "COPIA CAJERO", "TICKET UNICO"}) {
    if (text.find(copy) != std::string::npos) label = copy;
  }
  std::size_t lines = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
    ++lines;
  return label + ": " + std::to_string(lines) + " lines, " + std::to_string(text.size()) + " bytes";
}

}  // namespace

nlohmann::ordered_json JsonOf(const Dictionary& result) {
  return nlohmann::ordered_json::parse(result.ToJson());
}

bool RunCounterDemo(Operator& op, sim::GatewaySimulator& gateway,
                    const std::filesystem::path& devices, const DemoStep& step) {
  gateway.SetScript(nullptr);  // the declined sale is over: approve again
  sim::OptimumPinPad optimum;
  std::ofstream(devices) << "\\device\\Serial2\t" << optimum.PortPath() << "\n";
  Cliente cliente(op);
  const std::int16_t initialized =
      cliente.InicializaPinPad("5", 1001, "OPTIMUM", "", "demo", "demo");
  step("InicializaPinPad OPTIMUM (counter)", {{"InicializaPinPad", initialized}});
  if (initialized != 1) return false;

  Mostrador mostrador(op);
  const Dictionary teller = mostrador.SesionCajero("12345678", "1234", kTellerTrack2, "C");
  step("teller sign-in", JsonOf(teller));
  const Dictionary order = mostrador.ConsultaRemesa(kOrder);
  step("remittance query", JsonOf(order));
  const Dictionary paid = mostrador.PagaRemesa(kOrder, "", "G1234567", "", "", "", "", "");
  step("remittance payment", JsonOf(paid));

  // Remittances have no voucher layout of their own: the counter-service voucher carries it.
  Dictionary voucher;
  voucher.Set("process_type", "OREXPay");
  voucher.Set("amount", order.Item("total"));
  voucher.Set("oper_number", kOrder);
  voucher.Set("autho_number", order.Item("autho_number"));
  voucher.Set("teller", teller.Item("teller"));
  voucher.Set("date_time", order.Item("date_time"));
  const std::int16_t printed = mostrador.ImprimeVoucher(voucher, "", 22);
  nlohmann::ordered_json received = nlohmann::ordered_json::array();
  for (const std::string& text : optimum.Printed()) received.push_back(Summary(text));
  step("remittance voucher", {{"ImprimeVoucher", printed}, {"printer", received}});
  return teller.Item("status") == "1" && paid.Item("response_code") == "1" && printed == 1;
}

}  // namespace tovalix::cli
