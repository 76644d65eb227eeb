// The card payment on a VeriFone Vx810, and the serial-number exchange of its initialization.
//
// A sale: wake-up (ENQ), the idle sequence (I02 until the PIN pad is idle, 72, C23), the card
// read (C30, with a second swipe and the status dispatch), the chip data (C31 / C33), the
// gateway, the chip completion (C34 with the authorization code the card gave), the idle
// sequence again, and the port released on every path.
#pragma once

#include <string>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "drivers/sale_request.hpp"
#include "drivers/vx810/commands.hpp"
#include "serial/serial_link.hpp"

namespace tovalix::drivers::vx810 {

// A PIN pad answers I02 with 1 while it is busy. A real one becomes idle within seconds; one
// still busy after this many seconds of asking never will, and the sale ends the way a failed
// exchange ends it (straight to the release of the port). A count of answers would not bound
// the wait: each answer may take the whole of an exchange's deadline.
inline constexpr double kIdleTimeout = 60;

// The amounts a sale can carry: what C31's four-byte fields hold.
inline constexpr CapacidadImporte kCapacidadImporte{kMaxCentavos, false};

// One sale on the PIN pad at entorno.puerto: opens the port itself (19200,N,8,1) and closes it
// on every path. Returns the gateway's dictionary when the gateway was reached, otherwise the
// first values with Response_Message where a PIN pad status replaced it. Sets
// entorno.modo_entrada (0 until a card is accepted; 1 stripe, 2 chip, 3 stripe of a chip card).
// A run-time failure is reported (box and log line) and ends the sale with what it holds.
Dictionary VentaVx810(EntornoVenta& entorno, const SolicitudVenta& solicitud);

// How the Vx810's bytes look on the link: commands as they are, text and chip frames.
inline constexpr serial::SerialLink::Format kFormat{serial::FrameShape::kVx810, false};

// The "06" exchange (ArmaSimple) on an open link in kFormat. The serial number: the 11
// characters that begin 7 after the first "06" of the answer, without "-", read as a number
// and written back in decimal. "" when the exchange fails or the answer holds no serial number.
std::string SerieVx810(serial::SerialLink& link, Operator& op);

}  // namespace tovalix::drivers::vx810
