// Linux's device map: the serial ports under sysfs named as Windows names them, tried against a
// fake sysfs tree in a scratch folder.
#include <gtest/gtest.h>

#include <fstream>

#include "drivers/models.hpp"
#include "platform/device_map.hpp"
#include "platform/posix/device_map_sysfs.hpp"
#include "serial/port_discovery.hpp"
#include "support/test_environment.hpp"

namespace tovalix::serial {
namespace {

namespace fs = std::filesystem;
using testing::ShownMessage;

// A tty of a sysfs tree at `root`, laid out as the kernel does: its device bound to `driver`,
// `type` the UART type of a native port. A native port as Linux 6.5 and later show it
// (`serial_base`) is a "port" under a "ctrl" under the platform or PNP device the driver serves.
void AddTty(const fs::path& root, const std::string& name, const std::string& driver,
            const char* type = nullptr, bool serial_base = false) {
  fs::path device = root / "devices" / name;
  for (const std::string& bound : {driver, std::string("ctrl"), std::string("port")}) {
    fs::create_directories(root / "bus/any/drivers" / bound);
    fs::create_directories(device);
    fs::create_directory_symlink(root / "bus/any/drivers" / bound, device / "driver");
    if (!serial_base || bound == "port") break;
    device /= bound == driver ? "ctrl" : "port";
  }
  const fs::path tty = root / "class/tty" / name;
  fs::create_directories(tty);
  fs::create_directory_symlink(device, tty / "device");
  if (type != nullptr) std::ofstream(tty / "type") << type << "\n";
}

TEST(SysfsDeviceMap, NamesPortsAsWindowsDidAndCountsOnlyRealUarts) {
  testing::ScratchFolder folder;
  const fs::path& root = folder.path();
  AddTty(root, "ttyACM10", "cdc_acm");
  AddTty(root, "ttyACM2", "cdc_acm");
  AddTty(root, "ttyUSB0", "cp210x");
  AddTty(root, "ttyUSB1", "ftdi_sio");  // no Windows name for it
  AddTty(root, "ttyS0", "serial8250", "4");
  AddTty(root, "ttyS1", "serial8250", "0");  // listed, but no UART behind it
  AddTty(root, "ttyS2", "serial", "4", true);
  AddTty(root, "ttyS3", "serial", "0", true);
  AddTty(root, "ttyS4", "serial8250", "4");
  fs::create_directories(root / "class/tty/tty0");  // virtual terminals: no device
  fs::create_directories(root / "class/tty/ptmx");

  const platform::SysfsDeviceMap map(root);
  EXPECT_EQ(map.Entries(), (std::vector<platform::DeviceMapEntry>{
                               {"\\device\\USBSER000", "/dev/ttyACM2"},
                               {"\\device\\USBSER001", "/dev/ttyACM10"},
                               {"\\device\\Serial0", "/dev/ttyS0"},
                               {"\\device\\Serial1", "/dev/ttyS2"},
                               {"\\device\\Serial2", "/dev/ttyS4"},
                               {"\\device\\slabser0", "/dev/ttyUSB0"},
                           }));

  // Unplugged: the map is read again at each lookup and the other adapter becomes the first.
  testing::RecordingOperator op;
  fs::remove_all(root / "class/tty/ttyACM2");
  fs::remove_all(root / "class/tty/ttyUSB0");
  EXPECT_EQ(AsignaPuerto(drivers::PortNamesOf("Vx810"), map, op), "/dev/ttyACM10");
  EXPECT_EQ(AsignaPuerto(drivers::PortNamesOf("INGENICO3070"), map, op), "");
  EXPECT_EQ(op.shown,
            (std::vector<ShownMessage>{
                {"TOVALIX: No se pudo definir el puerto donde esta conectada la Pin Pad", 0, ""}}));

  EXPECT_TRUE(platform::SysfsDeviceMap(folder / "none").Entries().empty());
  testing::ScopedEnv no_table("TOVALIX_DEVICE_MAP", std::nullopt);
  EXPECT_EQ(platform::SystemDeviceMap()->Source(), "sysfs /sys");
}

}  // namespace
}  // namespace tovalix::serial
