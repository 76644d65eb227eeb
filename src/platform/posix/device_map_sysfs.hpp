// The Linux device map, built from sysfs the way Windows names its serial devices.
#pragma once

#include <filesystem>

#include "platform/device_map.hpp"

namespace tovalix::platform {

// Each tty under <root>/class/tty whose device's driver is
//   cdc_acm                     -> "\device\USBSERnnn" (three digits),
//   cp210x                      -> "\device\slabsern",
//   serial8250, serial, 8250... -> "\device\Serialn", only when its UART exists ("type" not 0:
//                                  the kernel lists ttyS0 to ttyS31 with or without hardware),
// numbered from 0 within each kind in port order (ttyACM2 before ttyACM10), mapped to
// "/dev/<name>". Other ttys are left out. An absent root gives an empty map.
class SysfsDeviceMap : public DeviceMap {
 public:
  explicit SysfsDeviceMap(std::filesystem::path root = "/sys") : root_(std::move(root)) {}
  std::vector<DeviceMapEntry> Entries() const override;
  std::string Source() const override { return "sysfs " + root_.string(); }

 private:
  std::filesystem::path root_;
};

}  // namespace tovalix::platform
