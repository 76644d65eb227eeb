// The `ports` command's diagnostic choice of device map: on Linux, --sysfs reads the map from
// another sysfs root; Windows has only its registry (or $TOVALIX_DEVICE_MAP), so the option
// is not offered there.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "platform/device_map.hpp"

namespace tovalix::cli {

// Adds the platform's option, if any, storing its value in `value`.
void AddDeviceMapOption(CLI::App& command, std::string& value);

// The map the option names; nullptr when it was not given (the system's map is used).
std::unique_ptr<platform::DeviceMap> DeviceMapFromOption(const std::string& value);

}  // namespace tovalix::cli
