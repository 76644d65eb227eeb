// `tovalix-sim gateway --port N`: the simulated payment gateway on its own, approving every
// request (but card sales of the total --decline-total, which it declines), until SIGINT or
// SIGTERM.
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>

#include "commands.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "stop_signals.hpp"

namespace tovalix::sim_cli {
namespace {

struct GatewayOptions {
  int port = 0;
  std::string host = "127.0.0.1";
  std::string decline_total;  // card sales of this total are declined
};

int ServeGateway(const GatewayOptions& options) {
  const StopSignals stop_signals;  // before any simulator thread exists
  try {
    sim::GatewaySimulator gateway(options.port, options.host);
    std::mutex print;
    gateway.SetScript(
        [&print, &options](const sim::GatewayRequest& request, sim::GatewayAnswer& answer) {
          std::lock_guard lock(print);
          if (!options.decline_total.empty() && request.Value("total") == options.decline_total) {
            answer.Set("response_message", "DECLINADA").Set("authorization_number", "000000");
          }
          std::fprintf(stderr, "%s %s process_type=%s -> %d\n", request.method.c_str(),
                       request.path.c_str(), request.Value("process_type").c_str(), answer.status);
        });
    std::printf("Gateway simulator listening on %s\n", gateway.Url().c_str());
    std::fflush(stdout);
    stop_signals.Wait();
    gateway.Stop();
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tovalix-sim gateway: %s\n", error.what());
    return 1;
  }
}

}  // namespace

void RegisterGateway(CLI::App& app, Run& run) {
  auto options = std::make_shared<GatewayOptions>();
  CLI::App* command =
      app.add_subcommand("gateway", "Serve the simulated payment gateway (approves everything).");
  command->add_option("--port", options->port, "TCP port (0 picks a free one)")
      ->check(CLI::Range(0, 65535));
  command->add_option("--host", options->host, "Address to listen on")->capture_default_str();
  command->add_option("--decline-total", options->decline_total,
                      "Decline the card sales whose total is this text (as sent, e.g. 99.99)");
  command->callback([options, &run] { run.exit_status = ServeGateway(*options); });
}

}  // namespace tovalix::sim_cli
