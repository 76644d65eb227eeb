// `tovalix-sim airtime --port N`: the simulated airtime service on its own, with its default
// catalogue, selling every listed amount, until SIGINT or SIGTERM.
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <string>

#include "commands.hpp"
#include "sim/airtime/airtime_simulator.hpp"
#include "stop_signals.hpp"

namespace tovalix::sim_cli {
namespace {

struct AirtimeOptions {
  int port = 0;
  std::string host = "127.0.0.1";
};

int ServeAirtime(const AirtimeOptions& options) {
  const StopSignals stop_signals;  // before any simulator thread exists
  try {
    sim::AirtimeSimulator airtime(options.port, options.host);
    std::mutex print;
    airtime.SetScript([&print](const sim::AirtimeRequest& request, sim::AirtimeAnswer& answer) {
      std::lock_guard lock(print);
      std::fprintf(stderr, "POST %s -> %d accepted=%s\n", request.path.c_str(), answer.status,
                   answer.Element("accepted").c_str());
    });
    std::printf("Airtime simulator listening on %s\n", airtime.BaseUrl().c_str());
    std::fflush(stdout);
    stop_signals.Wait();
    airtime.Stop();
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tovalix-sim airtime: %s\n", error.what());
    return 1;
  }
}

}  // namespace

void RegisterAirtime(CLI::App& app, Run& run) {
  auto options = std::make_shared<AirtimeOptions>();
  CLI::App* command = app.add_subcommand(
      "airtime", "Serve the simulated airtime service (sells every amount its catalogue lists).");
  command->add_option("--port", options->port, "TCP port (0 picks a free one)")
      ->check(CLI::Range(0, 65535));
  command->add_option("--host", options->host, "Address to listen on")->capture_default_str();
  command->callback([options, &run] { run.exit_status = ServeAirtime(*options); });
}

}  // namespace tovalix::sim_cli
