// The Nurit 293 in PagoTarjeta and in the initialization: the sale runs in the vendor library
// (UnicaBancaria); the serial number is read over the serial link, in text frames.
#pragma once

#include <string>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "drivers/sale_request.hpp"
#include "serial/serial_link.hpp"

namespace tovalix::drivers::nurit293 {

inline constexpr serial::SerialLink::Format kFormat{serial::FrameShape::kText, false};

// The sale: the payment as the ordered dictionary of texts UnicaBancaria takes (the port, the
// terminal's serial number and PTid from the settings, the gateway's URL and time-out), and
// UnicaBancaria's result. Never throws.
Dictionary VentaNurit293(EntornoVenta& entorno, const SolicitudVenta& solicitud);

// The "06" exchange on an open link in kFormat: the 15 characters that begin 3 after the first
// "06" of the answer, read as a number. "" when the exchange fails or the answer holds none.
std::string SerieNurit293(serial::SerialLink& link, Operator& op);

}  // namespace tovalix::drivers::nurit293
