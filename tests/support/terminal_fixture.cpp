#include "support/terminal_fixture.hpp"

#include <fstream>

#include "settings/store.hpp"

namespace tovalix::testing {

TerminalFixture::TerminalFixture()
    : settings_("TOVALIX_SETTINGS", (folder_ / "PinPad.ini").string()),
      device_map_("TOVALIX_DEVICE_MAP", (folder_ / "devices.tsv").string()),
      log_dir_("TOVALIX_LOG_DIR", folder_.path().string()) {
  std::ofstream(folder_ / "devices.tsv").flush();
}

bool TerminalFixture::Initialize(const std::string& tipo, const std::string& stores,
                                 const std::map<std::string, std::string>& overrides) {
  // clang-format off
  std::map<std::string, std::string> values = {
      {"param1", stores}, {"param2", "12345678"}, {"param3", "123456"}, {"param4", tipo},
      {"param5", "http://127.0.0.1:9/gateway.asp"}, {"param6", "ABARROTES LA ESPERANZA"},
      {"param7", "AES010101AB1"}, {"param8", "AV. JUAREZ 12"},
      {"param9", "CENTRO CUAUHTEMOC CP.06000"}, {"param10", "5555555555"},
      {"param11", "CIUDAD DE MEXICO,CDMX"}, {"param12", "usuario"}, {"param13", "secreto"},
      {"param14", "http://127.0.0.1:9/TelcoWS/service1.asmx"}, {"param20", "30"},
      {"param21", "40"}, {"param22", ""}, {"param23", ""}, {"param24", "55"}, {"param25", ""},
      {"param26", ""}};
  // clang-format on
  for (const auto& [key, value] : overrides) values[key] = value;
  RecordingOperator quiet;
  for (const auto& [key, value] : values) {
    if (!settings::GuardaParametro(key, value, quiet)) return false;
  }
  return quiet.shown.empty();
}

void TerminalFixture::MapDevice(const std::string& device, const std::string& port) {
  map_text_ += device + "\t" + port + "\n";
  std::ofstream(folder_ / "devices.tsv") << map_text_;
}

}  // namespace tovalix::testing
