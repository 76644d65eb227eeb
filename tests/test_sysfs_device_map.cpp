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
using platform::DeviceMapEntry;
using testing::RecordingOperator;
using testing::ScopedEnv;
using testing::ScratchFolder;
using testing::ShownMessage;

const ShownMessage kNoPort{"TOVALIX: No se pudo definir el puerto donde esta conectada la Pin Pad",
                           0, ""};

// A sysfs tree in a scratch folder, laid out as the kernel does.
class FakeSysfs {
 public:
  explicit FakeSysfs(const fs::path& root) : root_(root) {
    fs::create_directories(root_ / "class/tty");
  }

  // A tty whose device is bound to `driver`; `type` is the UART type of a native port.
  void Add(const std::string& name, const std::string& driver, const char* type = nullptr) {
    const fs::path device = root_ / "devices" / ("dev-" + name);
    Bind(device, driver);
    AddTty(name, device, type);
  }

  // A native port as Linux 6.5 and later show it: a serial-base "port" under a "ctrl" under
  // the platform or PNP device that the 8250 driver serves.
  void AddSerialBase(const std::string& name, const std::string& driver, const char* type) {
    const fs::path hardware = root_ / "devices/pnp0" / ("00:0" + name.substr(4));
    Bind(hardware, driver);
    Bind(hardware / "ctrl", "ctrl");
    Bind(hardware / "ctrl/port", "port");
    AddTty(name, hardware / "ctrl/port", type);
  }

  void AddVirtual(const std::string& name) { fs::create_directories(root_ / "class/tty" / name); }

  void Remove(const std::string& name) { fs::remove_all(root_ / "class/tty" / name); }

 private:
  void Bind(const fs::path& device, const std::string& driver) {
    const fs::path target = root_ / "bus/any/drivers" / driver;
    fs::create_directories(target);
    fs::create_directories(device);
    fs::create_directory_symlink(target, device / "driver");
  }

  void AddTty(const std::string& name, const fs::path& device, const char* type) {
    const fs::path tty = root_ / "class/tty" / name;
    fs::create_directories(tty);
    fs::create_directory_symlink(device, tty / "device");
    if (type != nullptr) std::ofstream(tty / "type") << type << "\n";
  }

  fs::path root_;
};

TEST(SysfsDeviceMap, NamesPortsAsWindowsDidAndCountsOnlyRealUarts) {
  ScratchFolder folder;
  FakeSysfs sysfs(folder.path());
  sysfs.Add("ttyACM10", "cdc_acm");
  sysfs.Add("ttyACM2", "cdc_acm");
  sysfs.Add("ttyUSB0", "cp210x");
  sysfs.Add("ttyUSB1", "ftdi_sio");  // no Windows name for it
  sysfs.Add("ttyS0", "serial8250", "4");
  sysfs.Add("ttyS1", "serial8250", "0");  // listed, but no UART behind it
  sysfs.AddSerialBase("ttyS2", "serial", "4");
  sysfs.AddSerialBase("ttyS3", "serial", "0");
  sysfs.Add("ttyS4", "serial8250", "4");
  sysfs.AddVirtual("tty0");
  sysfs.AddVirtual("ptmx");

  const platform::SysfsDeviceMap map(folder.path());
  EXPECT_EQ(map.Entries(), (std::vector<DeviceMapEntry>{
                               {"\\device\\USBSER000", "/dev/ttyACM2"},
                               {"\\device\\USBSER001", "/dev/ttyACM10"},
                               {"\\device\\Serial0", "/dev/ttyS0"},
                               {"\\device\\Serial1", "/dev/ttyS2"},
                               {"\\device\\Serial2", "/dev/ttyS4"},
                               {"\\device\\slabser0", "/dev/ttyUSB0"},
                           }));

  RecordingOperator op;
  EXPECT_EQ(AsignaPuerto(drivers::PortNamesOf("IPP320"), map, op), "/dev/ttyACM2");
  EXPECT_EQ(AsignaPuerto(drivers::PortNamesOf("OPTIMUM"), map, op), "/dev/ttyS4");
  EXPECT_EQ(AsignaPuerto(drivers::PortNamesOf("INGENICO3070"), map, op), "/dev/ttyUSB0");
  EXPECT_EQ(AsignaPuerto(drivers::PortNamesOf("NURIT293"), map, op), "/dev/ttyUSB0");
  EXPECT_TRUE(op.shown.empty());

  // Unplugged: the map is read again and the other adapter becomes the first.
  sysfs.Remove("ttyACM2");
  sysfs.Remove("ttyUSB0");
  EXPECT_EQ(AsignaPuerto(drivers::PortNamesOf("Vx810"), map, op), "/dev/ttyACM10");
  EXPECT_EQ(AsignaPuerto(drivers::PortNamesOf("NURIT293"), map, op), "/dev/ttyACM10");
  EXPECT_EQ(AsignaPuerto(drivers::PortNamesOf("INGENICO3070"), map, op), "");
  EXPECT_EQ(op.shown, std::vector<ShownMessage>{kNoPort});
}

TEST(SysfsDeviceMap, MissingTreeIsAnEmptyMap) {
  ScratchFolder folder;
  EXPECT_TRUE(platform::SysfsDeviceMap(folder / "none").Entries().empty());
  ScopedEnv no_table("TOVALIX_DEVICE_MAP", std::nullopt);
  EXPECT_EQ(platform::SystemDeviceMap()->Source(), "sysfs /sys");
}

}  // namespace
}  // namespace tovalix::serial
