// Finding the port a PIN pad hangs on: each model's adapter has known device names (its
// driver's descriptor lists them), looked up in the serial device map in a fixed order; and
// BuscaPuerto, the first native port that opens. The operator is never asked for a port.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <tovalix/operator.hpp>

#include "platform/device_map.hpp"

namespace tovalix::serial {

inline constexpr std::string_view kPuertoNoDefinido =
    "TOVALIX: No se pudo definir el puerto donde esta conectada la Pin Pad";

// What a model's descriptor tells port discovery: the device names tried, in order, and, for a
// model whose library opens COM1 to COM9 only, the warning (followed by the port name) shown
// when the port found is a COM port above 9.
struct PortNames {
  std::span<const std::string_view> devices;
  std::string_view above_com9_warning;
};

// What the registry read was on Windows: the port recorded for `device_name` in `map`,
// compared without regard to case; nullopt when there is none. Throws Failure when the map
// cannot be read.
std::optional<std::string> LeeMapaSerie(const platform::DeviceMap& map,
                                        std::string_view device_name);

// The port of one device name, "" when the map has none. A map that cannot be read is
// reported through the common error report and gives "".
std::string DefinePuerto(std::string_view device_name, Operator& op);  // the system's map
std::string DefinePuerto(const platform::DeviceMap& map, std::string_view device_name,
                         Operator& op);

// AsignaPuerto's decision without telling the operator (the `ports` diagnostic prints it).
struct EleccionPuerto {
  std::string port;                // "" when none was found
  std::vector<std::string> tried;  // device names looked up, in order
  std::string warning;             // the COM-above-9 warning (a critical box), or ""
  std::string failure;             // a failure to report (a COM name with no number), or ""
  bool not_found = false;          // the "no port" box is due
};

// Throws Failure when the map cannot be read.
EleccionPuerto EligePuerto(const PortNames& names, const platform::DeviceMap& map);

// The port of the model's PIN pad, or "" after the "no port" message. A model limited to COM9
// found on a COM port above 9 gets its warning and keeps the port. A map that cannot be read
// is reported through the common error report and gives "".
std::string AsignaPuerto(const PortNames& names, Operator& op);  // the system's map
std::string AsignaPuerto(const PortNames& names, const platform::DeviceMap& map, Operator& op);

// Number of the first native port from 1 to 9 (platform::NativePortPath) that opens as a
// serial port, 0 when none does. The port is closed again; no setting is changed.
std::int16_t BuscaPuerto(Operator& op);

}  // namespace tovalix::serial
