// Finding the PIN pad's port: the candidate order of each model against a table file and a
// fake sysfs tree, the Nurit's COM warning and the "no port" message.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/device_map.hpp"
#include "platform/posix/device_map_sysfs.hpp"
#include "serial/port_discovery.hpp"
#include "support/test_environment.hpp"

namespace tovalix::serial {
namespace {

namespace fs = std::filesystem;
using platform::DeviceMapEntry;
using testing::ReadFile;
using testing::RecordingOperator;
using testing::ScopedEnv;
using testing::ScratchFolder;
using testing::ShownMessage;

const ShownMessage kNoPort{"TOVALIX: No se pudo definir el puerto donde esta conectada la Pin Pad",
                           0, ""};

class TableTest : public ::testing::Test {
 protected:
  ScratchFolder folder;
  fs::path table = folder / "serialcomm.map";
  ScopedEnv map_env{"TOVALIX_DEVICE_MAP", table.string()};
  ScopedEnv log_dir{"TOVALIX_LOG_DIR", folder.path().string()};
  RecordingOperator op;

  void WriteTable(const std::vector<DeviceMapEntry>& entries) {
    std::ofstream out(table, std::ios::trunc);
    for (const auto& entry : entries) out << entry.device << '\t' << entry.port << "\r\n";
  }
};

// Every device name any model knows, each on its own port, plus names no model uses.
std::vector<DeviceMapEntry> AllDevices() {
  return {{"\\Device\\Serial0", "COM1"},       {"\\DEVICE\\SLABSER0", "COM3"},
          {"\\device\\slabser1", "COM4"},      {"\\device\\USBSER000", "COM5"},
          {"\\device\\usbser001", "COM6"},     {"\\device\\VFMX800Port0", "COM7"},
          {"\\device\\VFMX800Port1", "COM8"},  {"\\device\\Serial2", "/dev/ttyS2"},
          {"\\device\\Serial3", "/dev/ttyS3"}, {"\\device\\USBSER002", "COM9"}};
}

TEST_F(TableTest, EachModelTriesItsCandidatesInOrder) {
  struct Case {
    const char* tipo;
    std::vector<std::string> order;  // the ports expected as devices disappear one by one
  };
  const Case cases[] = {
      {"INGENICO3070", {"COM3", "COM4"}},
      {"NURIT293", {"COM3", "COM4", "COM5", "COM6"}},
      {"IPP320", {"COM5", "COM6"}},
      {"Vx810", {"COM5", "COM6", "COM7", "COM8"}},
      {"OPTIMUM", {"/dev/ttyS2", "/dev/ttyS3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tipo);
    std::vector<DeviceMapEntry> devices = AllDevices();
    for (const std::string& expected : c.order) {
      WriteTable(devices);
      op.shown.clear();
      EXPECT_EQ(AsignaPuerto(c.tipo, op), expected);
      EXPECT_TRUE(op.shown.empty());
      std::erase_if(devices, [&](const DeviceMapEntry& e) { return e.port == expected; });
    }
    // The rest of the map (other models' devices included) is never looked at.
    WriteTable(devices);
    op.shown.clear();
    EXPECT_EQ(AsignaPuerto(c.tipo, op), "");
    EXPECT_EQ(op.shown, std::vector<ShownMessage>{kNoPort});
  }
}

TEST_F(TableTest, TriedNamesShowTheLookupsMade) {
  WriteTable({{"\\device\\VFMX800Port0", "/dev/ttyACM3"}});
  const platform::TableDeviceMap map(table);
  const EleccionPuerto vx = EligePuerto("Vx810", map);
  EXPECT_EQ(vx.port, "/dev/ttyACM3");
  EXPECT_EQ(vx.tried, (std::vector<std::string>{"\\device\\USBSER000", "\\device\\USBSER001",
                                                "\\device\\VFMX800Port0"}));
  WriteTable({{"\\device\\USBSER000", "COM5"}});
  const EleccionPuerto ingenico = EligePuerto("INGENICO3070", map);
  EXPECT_TRUE(ingenico.not_found);
  EXPECT_EQ(ingenico.tried, (std::vector<std::string>{"\\device\\slabser0", "\\device\\slabser1"}));
}

TEST_F(TableTest, UnknownModelFindsNothing) {
  WriteTable(AllDevices());
  for (const char* tipo : {"ipp320", "NINGUNA", ""}) {
    op.shown.clear();
    EXPECT_EQ(AsignaPuerto(tipo, op), "") << tipo;
    EXPECT_EQ(op.shown, std::vector<ShownMessage>{kNoPort});
  }
  EXPECT_EQ(DefinePuerto("", op), "");
  EXPECT_EQ(DefinePuerto("\\DEVICE\\vfmx800port1", op), "COM8");
}

TEST_F(TableTest, NuritAboveCom9IsWarnedAndKeepsItsPort) {
  const std::string warning =
      "LOS EQUIPOS NURIT293 DEBEN TENER UN COM MENOR O IGUAL A 9 ASIGNADO O DE LO CONTRARIO "
      "TIENEN PROBLEMAS DE COMUNICACION Y SE DETECTO QUE EL COM ASIGNADO A SU EQUIPO NURIT ES "
      "EL COM10";
  WriteTable({{"\\device\\slabser1", "COM10"}});
  EXPECT_EQ(AsignaPuerto("NURIT293", op), "COM10");
  EXPECT_EQ(op.shown, (std::vector<ShownMessage>{{warning, 16, ""}}));
  op.shown.clear();
  EXPECT_EQ(AsignaPuerto("INGENICO3070", op), "COM10");  // only the Nurit cares
  WriteTable({{"\\device\\USBSER001", "COM9"}});
  EXPECT_EQ(AsignaPuerto("NURIT293", op), "COM9");
  WriteTable({{"\\device\\slabser0", "/dev/ttyUSB12"}});  // a device path has no COM number
  EXPECT_EQ(AsignaPuerto("NURIT293", op), "/dev/ttyUSB12");
  EXPECT_TRUE(op.shown.empty());

  // A COM name without a number is a failure to report; the port found is kept.
  WriteTable({{"\\device\\slabser0", "COMX"}});
  EXPECT_EQ(AsignaPuerto("NURIT293", op), "COMX");
  ASSERT_EQ(op.shown.size(), 1u);
  EXPECT_EQ(op.shown[0].style, 0);
  EXPECT_NE(ReadFile(folder / "tovalix.log").find(op.shown[0].text), std::string::npos);
}

TEST_F(TableTest, UnreadableTableIsReportedNotTakenForAMissingPinPad) {
  EXPECT_EQ(AsignaPuerto("IPP320", op), "");  // the table was never written
  ASSERT_EQ(op.shown.size(), 1u);
  EXPECT_NE(op.shown[0].text.find("serialcomm.map"), std::string::npos);
  EXPECT_NE(op.shown[0], kNoPort);
  EXPECT_NE(ReadFile(folder / "tovalix.log").find("serialcomm.map"), std::string::npos);
}

TEST(DeviceMapTable, SkipsWhatIsNoEntry) {
  EXPECT_EQ(platform::ParseDeviceMapTable("# comment\n\n\\device\\a\t COM1 \r\nno tab here\n"
                                          "\t/dev/x\n \\device\\b\t/dev/pts/7"),
            (std::vector<DeviceMapEntry>{{"\\device\\a", "COM1"}, {"\\device\\b", "/dev/pts/7"}}));
}

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
  EXPECT_EQ(AsignaPuerto("IPP320", map, op), "/dev/ttyACM2");
  EXPECT_EQ(AsignaPuerto("OPTIMUM", map, op), "/dev/ttyS4");
  EXPECT_EQ(AsignaPuerto("INGENICO3070", map, op), "/dev/ttyUSB0");
  EXPECT_EQ(AsignaPuerto("NURIT293", map, op), "/dev/ttyUSB0");
  EXPECT_TRUE(op.shown.empty());

  // Unplugged: the map is read again and the other adapter becomes the first.
  sysfs.Remove("ttyACM2");
  sysfs.Remove("ttyUSB0");
  EXPECT_EQ(AsignaPuerto("Vx810", map, op), "/dev/ttyACM10");
  EXPECT_EQ(AsignaPuerto("NURIT293", map, op), "/dev/ttyACM10");
  EXPECT_EQ(AsignaPuerto("INGENICO3070", map, op), "");
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
