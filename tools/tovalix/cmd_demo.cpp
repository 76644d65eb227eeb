// tovalix demo: with nothing installed but the project, it starts the gateway and airtime
// simulators on 127.0.0.1 and a simulated PIN pad on a pty (on Windows, inside the program on an
// in-process line), points a throw-away terminal at them, initializes it, runs a chip sale, a
// stripe sale, a declined sale and an airtime top-up, then a banking agent's counter on a
// simulated Optimum (a teller signs in, a remittance is paid and its voucher printed), prints
// each result as a JSON line, and leaves nothing behind.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <tovalix/cliente.hpp>

#include "cli_output.hpp"
#include "commands.hpp"
#include "demo_counter.hpp"
#include "demo_host.hpp"
#include "demo_pinpads.hpp"
#include "sim/airtime/airtime_simulator.hpp"
#include "sim/gateway/gateway_simulator.hpp"

namespace tovalix::cli {
namespace {

// Environment variables set for the demo's length and put back afterwards.
class DemoEnvironment {
 public:
  DemoEnvironment() : folder_(MakeDemoFolder()) {}
  ~DemoEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
      SetEnvironment(it->first, it->second);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  DemoEnvironment(const DemoEnvironment&) = delete;
  DemoEnvironment& operator=(const DemoEnvironment&) = delete;

  void Set(const std::string& name, const std::string& value) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    SetEnvironment(name, value);
  }
  std::filesystem::path operator/(const std::string& name) const { return folder_ / name; }
  const std::filesystem::path& folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

void PrintStep(const std::string& step, const nlohmann::ordered_json& result) {
  nlohmann::ordered_json line = {{"step", step}, {"result", result}};
  PrintJson(line.dump());
}

struct DemoArguments {
  std::string model = "ipp320";
  CliOperator op;
};

int RunDemo(DemoArguments& args) {
  const DemoModel* model = FindDemoModel(args.model);
  if (model == nullptr) {
    std::fprintf(stderr, "unknown model %s (choose %s)\n", args.model.c_str(),
                 DemoModelOptions().c_str());
    return 2;
  }
  DemoEnvironment env;
  sim::GatewaySimulator gateway;
  sim::AirtimeSimulator airtime;
  env.Set("TOVALIX_SETTINGS", (env / "PinPad.ini").string());
  env.Set("TOVALIX_DEVICE_MAP", (env / "devices.tsv").string());
  env.Set("TOVALIX_LOG_DIR", env.folder().string());
  env.Set("TOVALIX_GATEWAY_URL", gateway.Url());
  env.Set("TOVALIX_AIRTIME_URL", airtime.BaseUrl());
  env.Set("TOVALIX_COUNTER_URL", "http://127.0.0.1:" + std::to_string(gateway.Port()));
  if (model->tipo == "NURIT293" && std::getenv("TOVALIX_NURIT293_LIB") == nullptr) {
    env.Set("TOVALIX_NURIT293_LIB", NuritLibraryBesideTool());
  }

  // The library is loaded before the PIN pad starts, so both see the same readings.
  const std::string line = PrepareDemoLine();
  std::unique_ptr<DemoPinPad> pinpad = StartDemoPinPad(*model);
  if (!line.empty()) PrintStep("PIN pad", {{"port", pinpad->PortPath()}, {"line", line}});
  std::ofstream(env / "devices.tsv") << model->device << "\t" << pinpad->PortPath() << "\n";

  Cliente cliente(args.op);
  const std::int16_t initialized =
      cliente.InicializaPinPad("5", 1001, model->tipo, "", "demo", "demo");
  PrintStep("InicializaPinPad " + model->tipo, {{"InicializaPinPad", initialized}});
  if (initialized != 1) return 1;

  const auto pay = [&](const std::string& step, double amount, std::int32_t transaction) {
    const Dictionary result =
        cliente.PagoTarjeta(5, amount, 0, amount, transaction, 1, "", 0, 0, "", "", "");
    PrintStep(step, JsonOf(result));
    return IsApproved(result);
  };
  pinpad->QueueChipCard();
  // Whole pesos: the Optimum's card request carries no centavos.
  const bool chip_approved = pay("chip sale", 150, 1);
  pinpad->QueueStripeCard();
  const bool stripe_approved = pay("stripe sale", 90, 2);
  gateway.SetScript([](const sim::GatewayRequest&, sim::GatewayAnswer& answer) {
    answer.Set("response_message", "DECLINADA").Set("authorization_number", "000000");
  });
  pinpad->QueueChipCard();
  const bool declined = !pay("declined sale", 3200, 3);

  const Dictionary topup = cliente.TiempoAire("", "TELCEL", "5512345678", 50, "DEMO-1");
  PrintStep("airtime top-up", JsonOf(topup));
  const bool counter = RunCounterDemo(args.op, gateway, env / "devices.tsv", PrintStep);
  return chip_approved && stripe_approved && declined && topup.Item("Accepted") == "True" && counter
             ? 0
             : 1;
}

}  // namespace

void RegisterDemo(CLI::App& app, Run& run) {
  auto args = std::make_shared<DemoArguments>();
  CLI::App* command = app.add_subcommand(
      "demo",
      "Initialize a throw-away terminal on simulated devices and services and run a "
      "chip sale, a stripe sale, a declined sale and an airtime top-up; then, on a simulated "
      "Optimum, sign a teller in, pay a remittance and print its voucher");
  command->add_option("--model", args->model, "PIN pad: " + DemoModelOptions())
      ->default_str("ipp320");
  AddMessagesOption(*command, args->op);
  command->callback([args, &run] { run.exit_status = RunDemo(*args); });
}

}  // namespace tovalix::cli
