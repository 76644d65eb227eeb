#include "platform/posix/device_map_sysfs.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>
#include <tuple>

namespace tovalix::platform {
namespace {

namespace fs = std::filesystem;

enum class Kind { kUsbSer, kSlabSer, kSerial };

struct Port {
  std::string name;  // "ttyACM0"
  Kind kind;
};

std::optional<Kind> KindOfDriver(std::string_view driver) {
  if (driver == "cdc_acm") return Kind::kUsbSer;
  if (driver == "cp210x") return Kind::kSlabSer;
  if (driver == "serial8250" || driver == "serial" || driver.substr(0, 4) == "8250") {
    return Kind::kSerial;
  }
  return std::nullopt;
}

// The driver of the hardware behind a tty, "" when there is none (a virtual terminal, a pty).
// Since Linux 6.5 a native port's device is a "port" of the serial-base bus under a "ctrl"
// device; the driver that names the hardware (serial8250, serial) sits above them.
std::string DriverOf(const fs::path& tty) {
  std::error_code error;
  fs::path device = fs::canonical(tty / "device", error);
  if (error) return "";
  for (int level = 0; level < 4 && !device.empty(); ++level) {
    const fs::path driver = fs::read_symlink(device / "driver", error);
    if (error) return "";
    const std::string name = driver.filename().string();
    if (name != "port" && name != "ctrl") return name;
    device = device.parent_path();
  }
  return "";
}

// A native port whose "type" is 0 (PORT_UNKNOWN) is a placeholder with no UART behind it.
bool UartExists(const fs::path& tty) {
  std::ifstream in(tty / "type");
  long type = 0;
  return static_cast<bool>(in >> type) && type != 0;
}

// Port order: by the name's stem, then by its trailing number read as a number.
bool PortOrder(const Port& a, const Port& b) {
  const auto split = [](const std::string& name) {
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    const std::string number = name.substr(digits);
    // Compare numbers by length first, then text: no overflow for any length.
    const std::size_t zeros = std::min(number.find_first_not_of('0'), number.size());
    const std::string significant = number.substr(zeros);
    return std::make_tuple(name.substr(0, digits), significant.size(), significant, name);
  };
  return split(a.name) < split(b.name);
}

std::string DeviceName(Kind kind, int index) {
  char name[40];
  switch (kind) {
    case Kind::kUsbSer:
      std::snprintf(name, sizeof name, "\\device\\USBSER%03d", index);
      break;
    case Kind::kSlabSer:
      std::snprintf(name, sizeof name, "\\device\\slabser%d", index);
      break;
    case Kind::kSerial:
      std::snprintf(name, sizeof name, "\\device\\Serial%d", index);
      break;
  }
  return name;
}

}  // namespace

std::vector<DeviceMapEntry> SysfsDeviceMap::Entries() const {
  std::vector<Port> ports;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(root_ / "class" / "tty", error)) {
    const fs::path tty = entry.path();
    const std::optional<Kind> kind = KindOfDriver(DriverOf(tty));
    if (!kind) continue;
    if (*kind == Kind::kSerial && !UartExists(tty)) continue;
    ports.push_back({tty.filename().string(), *kind});
  }
  std::sort(ports.begin(), ports.end(), PortOrder);

  std::vector<DeviceMapEntry> entries;
  int counts[3] = {0, 0, 0};
  for (const Port& port : ports) {
    int& count = counts[static_cast<int>(port.kind)];
    entries.push_back({DeviceName(port.kind, count++), "/dev/" + port.name});
  }
  return entries;
}

std::unique_ptr<DeviceMap> SystemDeviceMap() {
  const char* table = std::getenv("TOVALIX_DEVICE_MAP");
  if (table != nullptr && *table != '\0') return std::make_unique<TableDeviceMap>(table);
  return std::make_unique<SysfsDeviceMap>();
}

}  // namespace tovalix::platform
