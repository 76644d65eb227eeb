// tovalix: every public operation of the component from the command line, for integrators.
#include <cstdio>
#include <tovalix/version.hpp>

#include "commands.hpp"

int main(int argc, char** argv) {
  CLI::App app{
      "Tovalix: card payments on a PIN pad, mobile airtime and terminal set-up for "
      "point-of-sale hosts.\nResults print as JSON on stdout; operator messages go to stderr.",
      "tovalix"};
  app.set_version_flag("--version", tovalix::Version());
  app.require_subcommand(0, 1);
  tovalix::cli::Run run;
  for (const auto registrar : tovalix::cli::kCommands) {
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
