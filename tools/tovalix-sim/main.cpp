// tovalix-sim: the simulated PIN pads, payment gateway and airtime service, each alone, so that
// an integrator can develop a POS host without devices or servers.
#include <cstdio>
#include <tovalix/version.hpp>

#include "commands.hpp"

int main(int argc, char** argv) {
  CLI::App app{"Simulated PIN pads and services for developing a Tovalix host.", "tovalix-sim"};
  app.set_version_flag("--version", tovalix::Version());
  app.require_subcommand(0, 1);
  tovalix::sim_cli::Run run;
  for (const auto registrar : tovalix::sim_cli::kCommands) {
    if (registrar != nullptr) registrar(app, run);
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? 0 : 2;
  }
  if (app.get_subcommands().empty()) {
    std::fputs(app.help().c_str(), stdout);
    return 0;
  }
  return run.exit_status;
}
