// How the Ingenico 3070 and iPP320 use the serial link: commands are hex text turned into bytes,
// answers carry a two-byte length, and a keyboard entry waits longer than any other command.
#pragma once

#include <cstdint>
#include <string_view>

#include "serial/serial_link.hpp"

namespace tovalix::drivers::ingenico {

inline constexpr serial::SerialLink::Format kFormat{serial::FrameShape::kIngenico, true};

// Seconds EnviaRecibe waits for the answer to a KBD command: the cardholder is typing.
inline constexpr double kPlazoTeclado = 33;

// The link's EnviaRecibe with the Ingenico's deadline: 33 s when the command (hex text, compact
// or spaced) holds the KBD code, the link's 20 s otherwise.
std::int16_t EnviaRecibe(serial::SerialLink& link, std::string_view comando,
                         std::string_view codigo_hex);

}  // namespace tovalix::drivers::ingenico
