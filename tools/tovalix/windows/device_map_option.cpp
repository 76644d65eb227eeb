#include "device_map_option.hpp"

namespace tovalix::cli {

void AddDeviceMapOption(CLI::App&, std::string&) {}

std::unique_ptr<platform::DeviceMap> DeviceMapFromOption(const std::string&) {
  return nullptr;
}

}  // namespace tovalix::cli
