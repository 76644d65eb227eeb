// The tovalix program end to end: the integrator's commands against the simulators, with the
// JSON they print and the exit status they end with.
#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

#include "sim/gateway/gateway_simulator.hpp"
#include "sim/ingenico/ingenico_simulator.hpp"
#include "sim/optimum/optimum_pinpad.hpp"
#include "support/test_environment.hpp"

namespace tovalix {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::ScopedEnv;
using testing::ScratchFolder;

struct Outcome {
  int status = -1;
  std::string out;  // standard output
};

std::string Tool() {
  const char* build = std::getenv("TOVALIX_BUILD_DIR");
  return std::string(build ? build : ".") + "/bin/tovalix";
}

// Runs the tool with `arguments`; standard error goes to `errors`.
Outcome RunTool(const std::string& arguments, const std::filesystem::path& errors) {
  Outcome outcome;
  const std::string command = Tool() + " " + arguments + " 2>" + errors.string();
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return outcome;
  std::array<char, 4096> buffer{};
  while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) outcome.out += buffer.data();
  const int raw = ::pclose(pipe);
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return outcome;
}

std::vector<nlohmann::ordered_json> JsonLines(const std::string& text) {
  std::vector<nlohmann::ordered_json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(nlohmann::ordered_json::parse(line));
  }
  return lines;
}

TEST(Cli, InitThenAChipSaleOnAnIpp320) {
  ScratchFolder folder;
  sim::GatewaySimulator gateway;
  sim::IngenicoSimulator pinpad(sim::IngenicoModel::kIPP320);
  std::ofstream(folder / "devices.tsv") << "\\Device\\USBSER000\t" << pinpad.PortPath() << "\n";
  ScopedEnv settings("TOVALIX_SETTINGS", (folder / "PinPad.ini").string());
  ScopedEnv devices("TOVALIX_DEVICE_MAP", (folder / "devices.tsv").string());
  ScopedEnv logs("TOVALIX_LOG_DIR", folder.path().string());
  ScopedEnv url("TOVALIX_GATEWAY_URL", gateway.Url());

  const Outcome init = RunTool("init --store 5,17 --ptid 1001 --model IPP320", folder / "init.err");
  EXPECT_EQ(init.status, 0) << testing::ReadFile(folder / "init.err");
  EXPECT_EQ(init.out, "{\"InicializaPinPad\":1}\n");

  pinpad.QueueChipCard("4152000011112222", "3112");
  const Outcome pay = RunTool("pay --store 17 --amount 150.5 --transaction 42 --messages jsonl",
                              folder / "pay.err");
  EXPECT_EQ(pay.status, 0) << testing::ReadFile(folder / "pay.err");
  const auto lines = JsonLines(pay.out);
  ASSERT_EQ(lines.size(), 1u);
  const nlohmann::ordered_json& result = lines[0];
  EXPECT_EQ(result["Response_Message"], "APROBADA");
  EXPECT_EQ(result["Amount"], "150.5");
  EXPECT_EQ(result["Pos_entry_mode"], "2");
  EXPECT_EQ(result.begin().key(), "ID_Store");
  EXPECT_EQ(result["Description"], "TIENDA SIMULADA");
  EXPECT_EQ(result["Servicio"], "");
  // The chip card heard its approval.
  ASSERT_FALSE(pinpad.Completions().empty());
  EXPECT_EQ(pinpad.Completions().back().status, "00");
  // Nothing printed holds the card number.
  EXPECT_EQ(pay.out.find("4152000011112222"), std::string::npos);
  EXPECT_EQ(testing::ReadFile(folder / "pay.err").find("4152000011112222"), std::string::npos);

  // A declined sale exits 1; a wrong argument exits 2.
  gateway.SetScript([](const sim::GatewayRequest&, sim::GatewayAnswer& answer) {
    answer.Set("response_message", "DECLINADA").Set("authorization_number", "000000");
  });
  pinpad.QueueChipCard("4152000011112222", "3112");
  EXPECT_EQ(RunTool("pay --store 5 --amount 10 --transaction 43", folder / "x.err").status, 1);
  // Approved in words without an authorization: in doubt (3) until settled, never 0.
  gateway.SetScript([](const sim::GatewayRequest&, sim::GatewayAnswer& answer) {
    answer.Set("authorization_number", "000000");
  });
  pinpad.QueueChipCard("4152000011112222", "3112");
  EXPECT_EQ(RunTool("pay --store 5 --amount 10 --transaction 45", folder / "x.err").status, 3);
  EXPECT_EQ(pinpad.Completions().back().status, "01");
  auto in_doubt = JsonLines(RunTool("journal --in-doubt", folder / "x.err").out);
  ASSERT_EQ(in_doubt.size(), 1u);
  EXPECT_EQ(in_doubt[0]["ID_Tx"], "-4");
  const std::string settle = "journal settle " + in_doubt[0]["id"].get<std::string>();
  EXPECT_EQ(RunTool(settle, folder / "x.err").status, 2);  // charged or not: say which
  EXPECT_EQ(RunTool(settle + " --not-charged", folder / "x.err").status, 0);
  EXPECT_EQ(RunTool(settle + " --charged", folder / "x.err").status, 1);  // no longer in doubt
  EXPECT_EQ(RunTool("journal --in-doubt", folder / "x.err").out, "");
  EXPECT_EQ(RunTool("pay --store 5 --transaction 44", folder / "x.err").status, 2);
  EXPECT_EQ(
      RunTool("pay --store 5 --amount 10 --transaction 44 --operation 4", folder / "x.err").status,
      2);
}

TEST(Cli, CounterAndPrintCommandsOnAnOptimum) {
  ScratchFolder folder;
  sim::GatewaySimulator gateway;
  sim::OptimumPinPad pad;
  std::ofstream(folder / "devices.tsv") << "\\device\\Serial2\t" << pad.PortPath() << "\n";
  ScopedEnv settings("TOVALIX_SETTINGS", (folder / "PinPad.ini").string());
  ScopedEnv devices("TOVALIX_DEVICE_MAP", (folder / "devices.tsv").string());
  ScopedEnv logs("TOVALIX_LOG_DIR", folder.path().string());
  ScopedEnv url("TOVALIX_GATEWAY_URL", gateway.Url());
  ScopedEnv counter("TOVALIX_COUNTER_URL", "http://127.0.0.1:" + std::to_string(gateway.Port()));
  ScopedEnv track1("TOVALIX_TRACK1", "B4000000000000002^PRUEBA/TARJETA^25121010000");
  ScopedEnv track2("TOVALIX_TRACK2", "4000000000000002=2512101");
  ASSERT_EQ(RunTool("init --store 5 --ptid 1001 --model OPTIMUM", folder / "x.err").status, 0);
  // Each row: the arguments, the exit status, some of what it prints, the request it makes.
  const std::tuple<std::string, int, std::string, std::string> kRows[] = {
      {"counter signin --user 12345678 --nip 1234", 0, R"("status":"1","teller":"CAJERO)",
       "ConnectUser"},
      {"counter signin --user 12345678 --nip 4321", 1, R"({"status":"0",)", "ConnectUser"},
      {"counter remittance --order ORD-7", 0, R"("status":"ORDEN DISPONIBLE")", "OREXCheck"},
      {"counter remittance --order ORD-9", 1, R"("status":"La orden no existe")", "OREXCheck"},
      {"counter nip --nip 2468", 0, R"({"error":"",)", "GCSetNip"},
      {"counter pay --order ORD-7 --voter-id 0123", 0, R"("status":"ORDEN PAGADA")", "OREXPay"},
      {"counter pay --order ORD-7", 1, R"({"response_code":"","status":"Error al)", ""},
      {"print voucher --operation 22 --set teller=ANA --data "
       R"('{"process_type":"CBChequePayment","amount":1500,"track2":"4000000000000002"}')",
       0, R"({"ImprimeVoucher":1})", ""},
      {"print voucher --operation 22 --data '[1]'", 2, "", ""},
  };
  for (const auto& [arguments, status, out, process] : kRows) {
    const std::size_t before = gateway.RequestCount();
    const Outcome outcome = RunTool(arguments, folder / "x.err");
    EXPECT_EQ(outcome.status, status) << arguments << testing::ReadFile(folder / "x.err");
    EXPECT_THAT(outcome.out, HasSubstr(out)) << arguments;
    const auto requests = gateway.Requests();
    ASSERT_EQ(requests.size(), before + !process.empty()) << arguments;
    EXPECT_EQ(process.empty() ? "" : requests.back().Value("process_type"), process);
  }
  EXPECT_EQ(gateway.Requests().back().Value("ide"), "0123");  // the payment's voter id
  const auto printed = pad.Printed();  // the customer's copy, then the cashier's
  ASSERT_EQ(printed.size(), 2u);
  for (const char* line : {"COPIA CAJERO", "PAGO DE CHEQUE", "IMPORTE $1,500.00", "CAJERO : ANA"})
    EXPECT_THAT(printed[1], HasSubstr(line));
  EXPECT_THAT(printed[1], Not(HasSubstr("4000000000000002")));
}

TEST(Cli, TheDemoRunsOnEveryModelAndLeavesNothingBehind) {
  ScratchFolder folder;
  ScopedEnv tmp("TMPDIR", folder.path().string());
  for (const std::string model : {"ipp320", "ingenico3070", "vx810", "optimum", "nurit293"}) {
    const Outcome demo = RunTool("demo --model " + model, folder / "demo.err");
    EXPECT_EQ(demo.status, 0) << model << "\n" << testing::ReadFile(folder / "demo.err");
    const auto lines = JsonLines(demo.out);
    ASSERT_EQ(lines.size(), 10u) << model;
    const char* expected[] = {"InicializaPinPad", "1",
                              "Response_Message", "\"APROBADA\"",
                              "Response_Message", "\"APROBADA\"",
                              "Response_Message", "\"DECLINADA\"",
                              "Accepted",         "\"True\"",
                              "InicializaPinPad", "1",
                              "status",           "\"1\"",
                              "status",           "\"ORDEN DISPONIBLE\"",
                              "response_code",    "\"1\"",
                              "ImprimeVoucher",   "1"};
    for (std::size_t i = 0; i < lines.size(); ++i)  // each step's result: a key, its value
      EXPECT_EQ(lines[i]["result"][expected[2 * i]].dump(), expected[2 * i + 1]) << model << i;
    EXPECT_THAT(lines[9].dump(), HasSubstr(R"(,"COPIA CAJERO: )")) << model;  // the second copy
  }
  // Only the captured stderr is left in the demo's temporary folder.
  std::size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    EXPECT_EQ(entry.path().filename(), "demo.err");
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
  EXPECT_EQ(RunTool("demo --model IPP320", folder / "demo.err").status, 2);
}

}  // namespace
}  // namespace tovalix
