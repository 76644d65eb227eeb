// The `pinpad` parent command of tovalix-sim: each simulated PIN pad model is a subcommand of
// it (`tovalix-sim pinpad optimum`, ...).
#pragma once

#include <CLI/CLI.hpp>

namespace tovalix::sim_cli {

// The `pinpad` subcommand of `app`, created the first time it is asked for.
CLI::App& PinPadCommand(CLI::App& app);

}  // namespace tovalix::sim_cli
