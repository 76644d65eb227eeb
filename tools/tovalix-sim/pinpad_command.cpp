#include "pinpad_command.hpp"

namespace tovalix::sim_cli {

CLI::App& PinPadCommand(CLI::App& app) {
  const auto found =
      app.get_subcommands([](const CLI::App* command) { return command->get_name() == "pinpad"; });
  if (!found.empty()) return *found.front();
  CLI::App* pinpad =
      app.add_subcommand("pinpad", "Serve a simulated PIN pad on a pseudo-terminal.");
  pinpad->require_subcommand(1);
  return *pinpad;
}

}  // namespace tovalix::sim_cli
