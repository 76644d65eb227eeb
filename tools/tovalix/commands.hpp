// Each command of the tovalix tool lives in its own file and registers itself here.
// A command sets `exit_status`: 0 success, 1 a result that is not a success, 2 a usage error,
// 3 a card sale in doubt (it may have been charged: confirm before charging again).
#pragma once

#include <CLI/CLI.hpp>

namespace tovalix::cli {

struct Run {
  int exit_status = 0;
};

// One line per command file; keep them in the order of `tovalix --help`.
using Registrar = void (*)(CLI::App& app, Run& run);
void RegisterAirtime(CLI::App& app, Run& run);
void RegisterDemo(CLI::App& app, Run& run);
void RegisterInit(CLI::App& app, Run& run);
void RegisterPay(CLI::App& app, Run& run);
void RegisterPorts(CLI::App& app, Run& run);
void RegisterIpp320(CLI::App& app, Run& run);
void RegisterJournal(CLI::App& app, Run& run);
void RegisterCounter(CLI::App& app, Run& run);
void RegisterPrint(CLI::App& app, Run& run);
// clang-format off
inline constexpr Registrar kCommands[] = {
    RegisterDemo,
    RegisterInit,
    RegisterPay,
    RegisterAirtime,
    RegisterPorts,
    RegisterIpp320,
    RegisterJournal,
    RegisterCounter,
    RegisterPrint,
    nullptr,  // end marker; command files add their registrar above this line
};
// clang-format on

}  // namespace tovalix::cli
