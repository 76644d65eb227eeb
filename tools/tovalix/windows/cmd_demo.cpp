// tovalix demo on Windows: the demo runs the gateway, airtime and PIN pad simulators inside the
// program, and they are built on Linux only (ptys). The command stays, so that
// whoever types it learns why it does nothing and what to do instead.
#include <cstdio>

#include "commands.hpp"

namespace tovalix::cli {

void RegisterDemo(CLI::App& app, Run& run) {
  CLI::App* command = app.add_subcommand(
      "demo", "Not available on Windows yet: run the simulators on Linux (tovalix-sim)");
  command->allow_extras();
  command->callback([&run] {
    std::fputs(
        "tovalix demo is not available on Windows yet: its simulated PIN pads and services run "
        "on Linux only. Start them there (tovalix-sim gateway, tovalix-sim pinpad ...), map the "
        "PIN pad's port to a COM port and TOVALIX_GATEWAY_URL to the gateway, then run "
        "tovalix init and tovalix pay.\n",
        stderr);
    run.exit_status = 1;
  });
}

}  // namespace tovalix::cli
