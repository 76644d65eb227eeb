#include "serial/port_discovery.hpp"

#include "common/error_report.hpp"
#include "common/number_text.hpp"

namespace tovalix::serial {
namespace {

// The port names the Nurit's library can open end at COM9; on Linux a port is a device path,
// and only names that still read "COMn" (from a table file) are checked.
bool StartsWithCom(std::string_view port) {
  if (port.size() < 3) return false;
  for (std::size_t i = 0; i < 3; ++i) {
    if ((port[i] & ~0x20) != "COM"[i]) return false;
  }
  return true;
}

}  // namespace

std::vector<std::string_view> CandidatosPuerto(std::string_view tipo) {
  if (tipo == "INGENICO3070") return {"\\device\\slabser0", "\\device\\slabser1"};
  if (tipo == "NURIT293") {
    return {"\\device\\slabser0", "\\device\\slabser1", "\\device\\USBSER000",
            "\\device\\USBSER001"};
  }
  if (tipo == "IPP320") return {"\\device\\USBSER000", "\\device\\USBSER001"};
  if (tipo == "Vx810") {
    return {"\\device\\USBSER000", "\\device\\USBSER001", "\\device\\VFMX800Port0",
            "\\device\\VFMX800Port1"};
  }
  if (tipo == "OPTIMUM") return {"\\device\\Serial2", "\\device\\Serial3"};
  return {};
}

std::optional<std::string> LeeMapaSerie(const platform::DeviceMap& map,
                                        std::string_view device_name) {
  return platform::FindPort(map.Entries(), device_name);
}

std::string DefinePuerto(const platform::DeviceMap& map, std::string_view device_name,
                         Operator& op) {
  std::string port;
  RunTrapped(op, [&] { port = LeeMapaSerie(map, device_name).value_or(""); });
  return port;
}

std::string DefinePuerto(std::string_view device_name, Operator& op) {
  std::string port;
  RunTrapped(op, [&] { port = DefinePuerto(*platform::SystemDeviceMap(), device_name, op); });
  return port;
}

EleccionPuerto EligePuerto(std::string_view tipo, const platform::DeviceMap& map) {
  EleccionPuerto choice;
  const std::vector<platform::DeviceMapEntry> entries = map.Entries();  // read once per call
  // Every model tries its 1st and 2nd names; only the Nurit 293 and the Vx810 have 3rd and 4th.
  for (const std::string_view candidate : CandidatosPuerto(tipo)) {
    choice.tried.emplace_back(candidate);
    if (auto port = platform::FindPort(entries, candidate)) {
      choice.port = std::move(*port);
      break;
    }
  }
  if (choice.port.empty()) {
    choice.not_found = true;
    return choice;
  }
  if (tipo == "NURIT293" && StartsWithCom(choice.port)) {
    try {
      if (ToInteger(choice.port.substr(3)) > 9) {
        choice.warning = std::string(kAvisoComNurit) + choice.port;
      }
    } catch (...) {
      choice.failure = DescribeCurrentException();  // the port found stays the result
    }
  }
  return choice;
}

std::string AsignaPuerto(std::string_view tipo, const platform::DeviceMap& map, Operator& op) {
  EleccionPuerto choice;
  RunTrapped(op, [&] {
    choice = EligePuerto(tipo, map);
    if (!choice.failure.empty()) {
      ReportError(op, choice.failure);
    } else if (!choice.warning.empty()) {
      op.MessageBox(choice.warning, Operator::kCritical, "");
    }
    if (choice.not_found) op.MessageBox(std::string(kPuertoNoDefinido), Operator::kPlain, "");
  });
  return choice.port;
}

std::string AsignaPuerto(std::string_view tipo, Operator& op) {
  std::string port;
  RunTrapped(op, [&] { port = AsignaPuerto(tipo, *platform::SystemDeviceMap(), op); });
  return port;
}

}  // namespace tovalix::serial
