#include "device_map_option.hpp"

#include "platform/posix/device_map_sysfs.hpp"

namespace tovalix::cli {

void AddDeviceMapOption(CLI::App& command, std::string& value) {
  command.add_option("--sysfs", value,
                     "Read the device map from this sysfs root instead (for diagnostics)");
}

std::unique_ptr<platform::DeviceMap> DeviceMapFromOption(const std::string& value) {
  if (value.empty()) return nullptr;
  return std::make_unique<platform::SysfsDeviceMap>(value);
}

}  // namespace tovalix::cli
