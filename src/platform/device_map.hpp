// The serial device map: device name (such as "\device\slabser0") -> port name. It stands
// where the registry's "HARDWARE\DEVICEMAP\SERIALCOMM" stood. On Linux a port name is a device
// path ("/dev/ttyACM0"); a table file may still give "COM3"-style names.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovalix::platform {

struct DeviceMapEntry {
  std::string device;  // "\device\USBSER000"
  std::string port;    // "/dev/ttyACM0"
  bool operator==(const DeviceMapEntry&) const = default;
};

class DeviceMap {
 public:
  virtual ~DeviceMap() = default;

  // Every entry as the system sees it now (read again on each call, so that a PIN pad plugged
  // in since the last call is found). Throws Failure when the map cannot be read.
  virtual std::vector<DeviceMapEntry> Entries() const = 0;

  // Where the entries come from, for diagnostics: "table /etc/x.map", "sysfs /sys".
  virtual std::string Source() const = 0;
};

// The port of the first entry whose device name equals `device_name` without regard to case;
// nullopt when there is none (an empty name finds nothing).
std::optional<std::string> FindPort(const std::vector<DeviceMapEntry>& entries,
                                    std::string_view device_name);

// A table file: one entry per line, the device name, a tab, the port name. Blank lines,
// lines starting with "#" and lines without a tab are skipped; blanks around either name and
// a CR before the line end are ignored.
std::vector<DeviceMapEntry> ParseDeviceMapTable(std::string_view content);

class TableDeviceMap : public DeviceMap {
 public:
  explicit TableDeviceMap(std::filesystem::path file) : file_(std::move(file)) {}
  // Throws Failure when the file cannot be read.
  std::vector<DeviceMapEntry> Entries() const override;
  std::string Source() const override { return "table " + file_.string(); }

 private:
  std::filesystem::path file_;
};

// The table file that $TOVALIX_DEVICE_MAP names when it is set and not empty; otherwise the
// platform's own map (sysfs on Linux).
std::unique_ptr<DeviceMap> SystemDeviceMap();

}  // namespace tovalix::platform
