// Each simulator command lives in its own file and registers itself here.
#pragma once

#include <CLI/CLI.hpp>

namespace tovalix::sim_cli {

struct Run {
  int exit_status = 0;
};

using Registrar = void (*)(CLI::App& app, Run& run);
void RegisterGateway(CLI::App& app, Run& run);
void RegisterAirtime(CLI::App& app, Run& run);
void RegisterPinPadIngenico(CLI::App& app, Run& run);
void RegisterPinPadVx810(CLI::App& app, Run& run);
void RegisterPinPadOptimum(CLI::App& app, Run& run);
// clang-format off
inline constexpr Registrar kCommands[] = {
    RegisterGateway,
    RegisterAirtime,
    RegisterPinPadIngenico,
    RegisterPinPadVx810,
    RegisterPinPadOptimum,
    nullptr,  // end marker; command files add their registrar above this line
};
// clang-format on

}  // namespace tovalix::sim_cli
