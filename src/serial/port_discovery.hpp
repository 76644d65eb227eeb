// Finding the port a PIN pad hangs on: each model's adapter has known device names, looked up
// in the serial device map in a fixed order. The operator is never asked for a port.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <tovalix/operator.hpp>

#include "platform/device_map.hpp"

namespace tovalix::serial {

inline constexpr std::string_view kPuertoNoDefinido =
    "TOVALIX: No se pudo definir el puerto donde esta conectada la Pin Pad";
inline constexpr std::string_view kAvisoComNurit =
    "LOS EQUIPOS NURIT293 DEBEN TENER UN COM MENOR O IGUAL A 9 ASIGNADO O DE LO CONTRARIO TIENEN "
    "PROBLEMAS DE COMUNICACION Y SE DETECTO QUE EL COM ASIGNADO A SU EQUIPO NURIT ES EL ";

// The device names tried for a model (exact, case-sensitive), in order; none for any other.
std::vector<std::string_view> CandidatosPuerto(std::string_view tipo);

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
  std::string warning;             // the Nurit warning (a critical box), or ""
  std::string failure;             // a failure to report (a COM name with no number), or ""
  bool not_found = false;          // the "no port" box is due
};

// Throws Failure when the map cannot be read.
EleccionPuerto EligePuerto(std::string_view tipo, const platform::DeviceMap& map);

// The port of the model's PIN pad, or "" after the "no port" message. A Nurit 293 on a COM
// port above 9 gets a warning and keeps the port. A map that cannot be read is reported
// through the common error report and gives "".
std::string AsignaPuerto(std::string_view tipo, Operator& op);  // the system's map
std::string AsignaPuerto(std::string_view tipo, const platform::DeviceMap& map, Operator& op);

}  // namespace tovalix::serial
