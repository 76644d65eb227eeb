// `tovalix-sim pinpad vx810`: a simulated VeriFone Vx810 on a pseudo-terminal. It prints the
// port path a host opens, then serves until SIGINT or SIGTERM; every card read gets the card
// chosen with --card. Commands and displays are reported on stderr. `tovalix-sim pinpad
// nurit293` serves the Nurit 293's serial line, which speaks the same frames.
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <string>

#include "commands.hpp"
#include "pinpad_command.hpp"
#include "sim/vx810/vx810_simulator.hpp"
#include "stop_signals.hpp"

namespace tovalix::sim_cli {
namespace {

// Made-up card data (the number belongs to no card).
constexpr const char* kTrack2 = "4152000011112222=31122010000000000000";
constexpr const char* kTrack1 = "B4152000011112222^PRUEBA/TARJETA^31122010000000000000";

struct Vx810Options {
  std::string card = "chip";
  std::size_t i02_busy = 0;
  std::string serial = "801-234-567";
};

int ServeVx810(const Vx810Options& options) {
  const StopSignals stop_signals;  // before any simulator thread exists
  try {
    sim::Vx810Simulator pad;
    std::mutex print;
    pad.SetObserver([&print](const std::string& event) {
      std::lock_guard lock(print);
      std::fprintf(stderr, "vx810: %s\n", event.c_str());
    });
    pad.SetSerialAnswer("VX810" + options.serial);
    pad.SetI02Busy(options.i02_busy);
    if (options.card == "chip") {
      pad.SetC30Default(sim::Vx810Answer::Status("C30", "00"));
      pad.SetC31Default(sim::Vx810Answer::Chip(sim::Vx810ChipCard{}));
    } else if (options.card == "stripe") {
      pad.SetC30Default(sim::Vx810Answer::Swipe(kTrack2, kTrack1));
    } else if (options.card == "blocked") {
      pad.SetC30Default(sim::Vx810Answer::Status("C30", "24"));
    }  // "none": the default answer, no card came
    std::printf("%s\n", pad.PortPath().c_str());
    std::fflush(stdout);
    stop_signals.Wait();
    pad.Stop();
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tovalix-sim pinpad vx810: %s\n", error.what());
    return 1;
  }
}

// The Nurit 293 reads cards through its vendor library (the simulated one: TOVALIX_NURIT293_LIB);
// on the serial line it answers only the serial-number request, the Vx810's "06" exchange with
// the Nurit's own layout.
int ServeNurit293(const std::string& serial) {
  const StopSignals stop_signals;
  try {
    sim::Vx810Simulator pad;
    pad.SetObserver(
        [](const std::string& event) { std::fprintf(stderr, "nurit293: %s\n", event.c_str()); });
    pad.SetSerialAnswer("-293" + serial);
    std::printf("%s\n", pad.PortPath().c_str());
    std::fflush(stdout);
    stop_signals.Wait();
    pad.Stop();
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tovalix-sim pinpad nurit293: %s\n", error.what());
    return 1;
  }
}

void RegisterPinPadNurit293(CLI::App& app, Run& run) {
  auto serial = std::make_shared<std::string>("000000004711");
  CLI::App* command = PinPadCommand(app).add_subcommand(
      "nurit293",
      "Serve a simulated Nurit 293's serial line (its serial number only: cards come from the "
      "simulated vendor library); prints the port path to open.");
  command->add_option("--serial", *serial, "Serial number told to \"06\" after \"-293\"")
      ->capture_default_str();
  command->callback([serial, &run] { run.exit_status = ServeNurit293(*serial); });
}

}  // namespace

void RegisterPinPadVx810(CLI::App& app, Run& run) {
  auto options = std::make_shared<Vx810Options>();
  CLI::App* command = PinPadCommand(app).add_subcommand(
      "vx810", "Serve a simulated VeriFone Vx810; prints the port path to open.");
  command->add_option("--card", options->card, "What every card read gives")
      ->check(CLI::IsMember({"chip", "stripe", "blocked", "none"}))
      ->capture_default_str();
  command->add_option("--i02-busy", options->i02_busy,
                      "Answer the first N I02 requests with 1 (busy)");
  command->add_option("--serial", options->serial, "Serial number told to \"06\" (11 characters)")
      ->capture_default_str();
  command->callback([options, &run] { run.exit_status = ServeVx810(*options); });
  RegisterPinPadNurit293(app, run);
}

}  // namespace tovalix::sim_cli
