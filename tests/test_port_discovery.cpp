// Finding the PIN pad's port: the candidate order of each model against a table file, the
// Nurit's COM warning and the "no port" message. The same on every platform; Linux's own map,
// read from sysfs, has test_sysfs_device_map.
#include <gtest/gtest.h>

#include <fstream>

#include "drivers/models.hpp"
#include "platform/device_map.hpp"
#include "serial/port_discovery.hpp"
#include "support/test_environment.hpp"

namespace tovalix::serial {
namespace {

using platform::DeviceMapEntry;

const std::string kNoPort =
    " [0||TOVALIX: No se pudo definir el puerto donde esta conectada la Pin Pad]";

class TableTest : public ::testing::Test {
 protected:
  testing::ScratchFolder folder;
  std::filesystem::path table = folder / "serialcomm.map";
  testing::ScopedEnv map_env{"TOVALIX_DEVICE_MAP", table.string()};
  testing::ScopedEnv log_dir{"TOVALIX_LOG_DIR", folder.path().string()};
  testing::RecordingOperator op;

  void WriteTable(const std::vector<DeviceMapEntry>& entries) {
    std::ofstream out(table, std::ios::trunc);
    for (const auto& entry : entries) out << entry.device << '\t' << entry.port << "\r\n";
  }
  // The port found for `tipo`, then each message shown meanwhile as " [style|title|text]".
  std::string Asigna(const char* tipo) {
    op.shown.clear();
    std::string found = AsignaPuerto(drivers::PortNamesOf(tipo), op);
    for (const auto& m : op.shown)
      found += " [" + std::to_string(m.style) + "|" + m.title + "|" + m.text + "]";
    return found;
  }
};

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
      // Unknown models find nothing.
      {"ipp320", {}},
      {"NINGUNA", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tipo);
    // Every device name any model knows, each on its own port (names compared without regard
    // to case), plus names no model uses.
    std::vector<DeviceMapEntry> devices = {
        {"\\Device\\Serial0", "COM1"},       {"\\DEVICE\\SLABSER0", "COM3"},
        {"\\device\\slabser1", "COM4"},      {"\\device\\USBSER000", "COM5"},
        {"\\device\\usbser001", "COM6"},     {"\\device\\VFMX800Port0", "COM7"},
        {"\\device\\VFMX800Port1", "COM8"},  {"\\device\\Serial2", "/dev/ttyS2"},
        {"\\device\\Serial3", "/dev/ttyS3"}, {"\\device\\USBSER002", "COM9"}};
    for (const std::string& expected : c.order) {
      WriteTable(devices);
      EXPECT_EQ(Asigna(c.tipo), expected);
      std::erase_if(devices, [&](const DeviceMapEntry& e) { return e.port == expected; });
    }
    // The rest of the map (other models' devices included) is never looked at.
    WriteTable(devices);
    EXPECT_EQ(Asigna(c.tipo), kNoPort);
  }
}

TEST_F(TableTest, TriedNamesShowTheLookupsMade) {
  WriteTable({{"\\device\\VFMX800Port0", "/dev/ttyACM3"}});
  const platform::TableDeviceMap map(table);
  const EleccionPuerto vx = EligePuerto(drivers::PortNamesOf("Vx810"), map);
  EXPECT_EQ(vx.port, "/dev/ttyACM3");
  EXPECT_EQ(vx.tried, (std::vector<std::string>{"\\device\\USBSER000", "\\device\\USBSER001",
                                                "\\device\\VFMX800Port0"}));
}

TEST_F(TableTest, NuritAboveCom9IsWarnedAndKeepsItsPort) {
  const std::string warning =
      "LOS EQUIPOS NURIT293 DEBEN TENER UN COM MENOR O IGUAL A 9 ASIGNADO O DE LO CONTRARIO "
      "TIENEN PROBLEMAS DE COMUNICACION Y SE DETECTO QUE EL COM ASIGNADO A SU EQUIPO NURIT ES "
      "EL COM10";
  WriteTable({{"\\device\\slabser1", "COM10"}});
  EXPECT_EQ(Asigna("NURIT293"), "COM10 [16||" + warning + "]");
  EXPECT_EQ(Asigna("INGENICO3070"), "COM10");  // only the Nurit cares
  WriteTable({{"\\device\\USBSER001", "COM9"}});
  EXPECT_EQ(Asigna("NURIT293"), "COM9");
  WriteTable({{"\\device\\slabser0", "/dev/ttyUSB12"}});  // a device path has no COM number
  EXPECT_EQ(Asigna("NURIT293"), "/dev/ttyUSB12");

  // A COM name without a number is a failure to report; the port found is kept.
  WriteTable({{"\\device\\slabser0", "COMX"}});
  EXPECT_EQ(Asigna("NURIT293").substr(0, 9), "COMX [0||");
  ASSERT_EQ(op.shown.size(), 1u);
  EXPECT_NE(testing::ReadFile(folder / "tovalix.log").find(op.shown[0].text), std::string::npos);
}

TEST_F(TableTest, UnreadableTableIsReportedNotTakenForAMissingPinPad) {
  const std::string found = Asigna("IPP320");  // the table was never written
  EXPECT_EQ(found.substr(0, 5), " [0||");
  EXPECT_NE(found.find("serialcomm.map"), std::string::npos);
  EXPECT_EQ(op.shown.size(), 1u);  // and not the "no port" message
  EXPECT_NE(testing::ReadFile(folder / "tovalix.log").find("serialcomm.map"), std::string::npos);
}

TEST(DeviceMapTable, SkipsWhatIsNoEntry) {
  EXPECT_EQ(platform::ParseDeviceMapTable("# comment\n\n\\device\\a\t COM1 \r\nno tab here\n"
                                          "\t/dev/x\n \\device\\b\t/dev/pts/7"),
            (std::vector<DeviceMapEntry>{{"\\device\\a", "COM1"}, {"\\device\\b", "/dev/pts/7"}}));
}

}  // namespace
}  // namespace tovalix::serial
