// What `tovalix demo` needs from the system it runs on (posix/demo_host.cpp,
// windows/demo_host.cpp).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tovalix::cli {

// A new empty folder of the demo's own under the system's temporary folder.
std::filesystem::path MakeDemoFolder();

// Sets the environment variable `name` for this process, or removes it when `value` is nullopt.
void SetEnvironment(const std::string& name, const std::optional<std::string>& value);

// The simulated Nurit 293 vendor library built beside the tool.
std::string NuritLibraryBesideTool();

// Prepares the line the simulated PIN pad is joined to the library by; returns what to tell
// the user about it, "" when it is the ordinary serial port (a pty on POSIX).
std::string PrepareDemoLine();

}  // namespace tovalix::cli
