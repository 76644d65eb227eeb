// `tovalix-sim pinpad ipp320` and `tovalix-sim pinpad ingenico3070`: a simulated Ingenico PIN
// pad on a pseudo-terminal. It prints the path a host opens as its port, then answers every
// card reading with the card of --card until SIGINT or SIGTERM, logging each command (never
// card data) on stderr.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "commands.hpp"
#include "pinpad_command.hpp"
#include "sim/ingenico/ingenico_simulator.hpp"
#include "stop_signals.hpp"

namespace tovalix::sim_cli {
namespace {

// Made-up card numbers: they pass no real network.
constexpr const char* kChipPan = "4000001234567899";
constexpr const char* kStripePan = "5000009876543210";

struct IngenicoOptions {
  std::string card = "chip";
  std::string serial;
};

int ServeIngenico(sim::IngenicoModel model, const char* name, const IngenicoOptions& options) {
  const StopSignals stop_signals;  // before any simulator thread exists
  try {
    sim::IngenicoSimulator pad(model);
    if (!options.serial.empty()) pad.SetSerialNumber(options.serial);
    if (options.card == "chip") {
      pad.SetDefaultReading(sim::CardReading::Chip(kChipPan, "4912"));
    } else if (options.card == "stripe") {
      pad.SetDefaultReading(sim::CardReading::Stripe(kStripePan, "4912"));
    }
    pad.SetObserver(
        [name](const std::string& line) { std::fprintf(stderr, "%s: %s\n", name, line.c_str()); });
    // The first line of stdout is the port a host opens, alone, as the other PIN pads print it.
    std::printf("%s\n", pad.PortPath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "%s simulator on %s (serial number %s)\n", name, pad.PortPath().c_str(),
                 pad.SerialNumber().c_str());
    stop_signals.Wait();
    pad.Stop();
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tovalix-sim pinpad %s: %s\n", name, error.what());
    return 1;
  }
}

void AddModel(CLI::App& pinpad, Run& run, sim::IngenicoModel model, const char* name,
              const char* description) {
  auto options = std::make_shared<IngenicoOptions>();
  CLI::App* command = pinpad.add_subcommand(name, description);
  command
      ->add_option("--card", options->card,
                   "What every card reading gives: chip, stripe or none (no card presented)")
      ->check(CLI::IsMember({"chip", "stripe", "none"}))
      ->capture_default_str();
  command->add_option("--serial", options->serial,
                      model == sim::IngenicoModel::kIngenico3070
                          ? "Serial number the PIN pad reports (6 characters)"
                          : "Serial number the PIN pad reports (7 characters)");
  command->callback(
      [options, &run, model, name] { run.exit_status = ServeIngenico(model, name, *options); });
}

}  // namespace

void RegisterPinPadIngenico(CLI::App& app, Run& run) {
  CLI::App& pinpad = PinPadCommand(app);
  AddModel(pinpad, run, sim::IngenicoModel::kIPP320, "ipp320",
           "Serve a simulated Ingenico iPP320.");
  AddModel(pinpad, run, sim::IngenicoModel::kIngenico3070, "ingenico3070",
           "Serve a simulated Ingenico 3070.");
}

}  // namespace tovalix::sim_cli
