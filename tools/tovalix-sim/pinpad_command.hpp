// `tovalix-sim pinpad <model>`: each simulated PIN pad registers its model as a subcommand of
// the one "pinpad" parent, whichever command file registers first.
#pragma once

#include <CLI/CLI.hpp>

namespace tovalix::sim_cli {

// The "pinpad" subcommand of `app`, created the first time it is asked for.
CLI::App& PinPadCommand(CLI::App& app);

}  // namespace tovalix::sim_cli
