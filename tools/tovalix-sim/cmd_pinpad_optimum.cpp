// `tovalix-sim pinpad optimum`: a simulated Hypercom Optimum on a pseudo-terminal. Prints the
// path a host opens as its port on the first line of standard output, tells on standard error
// what the terminal receives (never card data), and serves until SIGINT or SIGTERM.
#include <cctype>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "commands.hpp"
#include "pinpad_command.hpp"
#include "sim/optimum/optimum_pinpad.hpp"
#include "stop_signals.hpp"

namespace tovalix::sim_cli {
namespace {

struct OptimumOptions {
  std::string card = "chip";
  std::string serial = std::string(sim::OptimumPinPad::kDefaultSerial);
};

// "stripe", "chip", "fallback", "silence" or "error:NN"; nullopt for anything else.
std::optional<sim::OptimumReading> ReadingNamed(const std::string& name) {
  if (name == "stripe") return sim::OptimumReading::Stripe();
  if (name == "chip") return sim::OptimumReading::Chip();
  if (name == "fallback") return sim::OptimumReading::Fallback();
  if (name == "silence") return sim::OptimumReading::Silence();
  if (name.size() == 8 && name.rfind("error:", 0) == 0 && std::isdigit(name[6]) != 0 &&
      std::isdigit(name[7]) != 0) {
    return sim::OptimumReading::Error(std::stoi(name.substr(6)));
  }
  return std::nullopt;
}

int ServeOptimum(const OptimumOptions& options) {
  const StopSignals stop_signals;  // before any simulator thread exists
  try {
    sim::OptimumPinPad pad(options.serial);
    pad.SetDefaultReading(*ReadingNamed(options.card));
    pad.SetObserver(
        [](const std::string& line) { std::fprintf(stderr, "optimum: %s\n", line.c_str()); });
    std::printf("%s\n", pad.PortPath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "Optimum PIN pad simulator on %s (every card request: %s)\n",
                 pad.PortPath().c_str(), options.card.c_str());
    stop_signals.Wait();
    pad.Stop();
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tovalix-sim pinpad optimum: %s\n", error.what());
    return 1;
  }
}

}  // namespace

void RegisterPinPadOptimum(CLI::App& app, Run& run) {
  auto options = std::make_shared<OptimumOptions>();
  CLI::App* command = PinPadCommand(app).add_subcommand(
      "optimum", "A simulated Hypercom Optimum: card requests, displays, printer.");
  command
      ->add_option("--card", options->card,
                   "Answer to every card request: stripe, chip, fallback, silence or error:NN")
      ->capture_default_str()
      ->check([](const std::string& value) {
        return ReadingNamed(value) ? std::string() : "unknown card answer: " + value;
      });
  command->add_option("--serial", options->serial, "Serial number answered to C57")
      ->capture_default_str();
  command->callback([options, &run] { run.exit_status = ServeOptimum(*options); });
}

}  // namespace tovalix::sim_cli
