#include <windows.h>

#include <cstdlib>
#include <random>
#include <stdexcept>

#include "demo_host.hpp"
#include "sim/pinpad/device_line.hpp"

namespace tovalix::cli {

std::filesystem::path MakeDemoFolder() {
  std::random_device random;
  const std::filesystem::path temp = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::filesystem::path folder = temp / ("tovalix-demo-" + std::to_string(random()));
    if (std::filesystem::create_directory(folder)) return folder;
  }
  throw std::runtime_error("no temporary folder");
}

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
  ::_putenv_s(name.c_str(), value ? value->c_str() : "");  // "" removes it
}

// In the build tree the DLL is in lib/ beside bin/; installed, next to the program.
std::string NuritLibraryBesideTool() {
  std::wstring exe(MAX_PATH, L'\0');
  exe.resize(::GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size())));
  const std::filesystem::path folder = std::filesystem::path(exe).parent_path();
  const std::filesystem::path built = folder.parent_path() / "lib" / "tovalix_nurit293_sim.dll";
  std::error_code error;
  return (std::filesystem::exists(built, error) ? built : folder / "tovalix_nurit293_sim.dll")
      .string();
}

std::string PrepareDemoLine() {
  sim::UseInProcessLines();
  return "Windows has no pseudo-terminals: the simulated PIN pad runs inside this program, "
         "joined to the library by an in-process line instead of a COM port";
}

}  // namespace tovalix::cli
