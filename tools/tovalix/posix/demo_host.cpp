#include <stdlib.h>

#include <stdexcept>

#include "demo_host.hpp"

namespace tovalix::cli {

std::filesystem::path MakeDemoFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tovalix-demo-XXXXXX");
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
  return pattern;
}

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name.c_str());
  }
}

std::string NuritLibraryBesideTool() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return (exe.parent_path().parent_path() / "lib" / "libtovalix_nurit293_sim.so").string();
}

std::string PrepareDemoLine() {
  return "";
}

}  // namespace tovalix::cli
