#include "pinpad_command.hpp"

#include <functional>
#include <vector>

namespace tovalix::sim_cli {

CLI::App& PinPadCommand(CLI::App& app) {
  const std::function<bool(CLI::App*)> named_pinpad = [](CLI::App* sub) {
    return sub->get_name() == "pinpad";
  };
  const std::vector<CLI::App*> found = app.get_subcommands(named_pinpad);
  if (!found.empty()) return *found.front();
  CLI::App* pinpad =
      app.add_subcommand("pinpad", "Serve a simulated PIN pad on a pseudo-terminal.");
  pinpad->require_subcommand(1);
  return *pinpad;
}

}  // namespace tovalix::sim_cli
