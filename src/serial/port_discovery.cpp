#include "serial/port_discovery.hpp"

#include "common/error_report.hpp"
#include "common/failure.hpp"
#include "common/number_text.hpp"
#include "platform/serial_port.hpp"

namespace tovalix::serial {
namespace {

// A vendor library may open COM1 to COM9 only; on Linux a port is a device path, and only names
// that still read "COMn" (from a table file) are checked.
bool StartsWithCom(std::string_view port) {
  if (port.size() < 3) return false;
  for (std::size_t i = 0; i < 3; ++i) {
    if ((port[i] & ~0x20) != "COM"[i]) return false;
  }
  return true;
}

}  // namespace

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

EleccionPuerto EligePuerto(const PortNames& names, const platform::DeviceMap& map) {
  EleccionPuerto choice;
  const std::vector<platform::DeviceMapEntry> entries = map.Entries();  // read once per call
  for (const std::string_view candidate : names.devices) {
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
  if (!names.above_com9_warning.empty() && StartsWithCom(choice.port)) {
    try {
      if (ToInteger(choice.port.substr(3)) > 9) {
        choice.warning = std::string(names.above_com9_warning) + choice.port;
      }
    } catch (...) {
      choice.failure = DescribeCurrentException();  // the port found stays the result
    }
  }
  return choice;
}

std::string AsignaPuerto(const PortNames& names, const platform::DeviceMap& map, Operator& op) {
  EleccionPuerto choice;
  RunTrapped(op, [&] {
    choice = EligePuerto(names, map);
    if (!choice.failure.empty()) {
      ReportError(op, choice.failure);
    } else if (!choice.warning.empty()) {
      op.MessageBox(choice.warning, Operator::kCritical, "");
    }
    if (choice.not_found) op.MessageBox(std::string(kPuertoNoDefinido), Operator::kPlain, "");
  });
  return choice.port;
}

std::string AsignaPuerto(const PortNames& names, Operator& op) {
  std::string port;
  RunTrapped(op, [&] { port = AsignaPuerto(names, *platform::SystemDeviceMap(), op); });
  return port;
}

std::int16_t BuscaPuerto(Operator& op) {
  std::int16_t found = 0;
  RunTrapped(op, [&] {
    for (std::int16_t number = 1; number <= 9; ++number) {
      try {
        platform::OpenSerialPort(platform::NativePortPath(number))->Close();
      } catch (const Failure&) {
        continue;  // a port that cannot be opened is skipped
      }
      found = number;
      return;
    }
  });
  return found;
}

}  // namespace tovalix::serial
