// The main of both command-line programs: registers their commands, parses, and answers with
// the command's exit status (2 for a usage error, the help text when no command is given).
#pragma once

#include <CLI/CLI.hpp>
#include <cstdio>
#include <tovalix/version.hpp>

namespace tovalix::tools {

template <typename Run, typename Registrars>
int RunCommandLine(const char* description, const char* name, const Registrars& commands, int argc,
                   char** argv) {
  CLI::App app{description, name};
  app.set_version_flag("--version", Version());
  app.require_subcommand(0, 1);
  Run run;
  for (const auto registrar : commands) {
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

}  // namespace tovalix::tools
