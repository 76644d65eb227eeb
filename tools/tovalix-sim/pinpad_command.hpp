// The `pinpad` parent command of tovalix-sim: each PIN pad model adds its own subcommand under
// it (`tovalix-sim pinpad ipp320`, ...), whichever registers first creates it.
#pragma once

#include <CLI/CLI.hpp>

namespace tovalix::sim_cli {

// The `pinpad` subcommand of `app`, created on the first call.
CLI::App& PinPadCommand(CLI::App& app);

}  // namespace tovalix::sim_cli
