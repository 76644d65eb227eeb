#include "pinpad_command.hpp"

namespace tovalix::sim_cli {

CLI::App& PinPadCommand(CLI::App& app) {
  const auto named_pinpad = [](CLI::App* sub) { return sub->get_name() == "pinpad"; };
  for (CLI::App* existing : app.get_subcommands(named_pinpad)) return *existing;
  CLI::App* pinpad =
      app.add_subcommand("pinpad", "Serve a simulated PIN pad on a pseudo-terminal.");
  pinpad->require_subcommand(1);
  return *pinpad;
}

}  // namespace tovalix::sim_cli
