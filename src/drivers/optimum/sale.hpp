// The card payment on a Hypercom Optimum, and the serial-number read of its initialization.
// The terminal runs the whole card dialogue itself: one card request (C54) makes it prompt,
// read the card by stripe or chip and answer with the card data; the flow posts the sale to
// the gateway and, for a chip card, tells the terminal whether it was approved.
#pragma once

#include <string>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "drivers/sale_request.hpp"
#include "serial/serial_link.hpp"

namespace tovalix::drivers::optimum {

// The amounts a sale can carry: the card request's fields hold twelve BCD digits of whole
// pesos and no centavos.
inline constexpr CapacidadImporte kCapacidadImporte{Money::kMaxCentavos, true};

// One sale. Opens entorno.puerto itself and closes it on every path, a failure included.
// Returns the gateway's answer once the gateway was reached, otherwise the flow's own result
// (ID_Tx "-3") with the reason in Response_Message where there is one. Does not touch
// entorno.modo_entrada: the entry mode posted is the one the terminal reports. Never throws.
//
// An amount or tip beyond kCapacidadImporte (the control refuses those first) cannot go into
// the card request: nothing is sent to the terminal, Response_Message says why and the
// operator sees it in a plain box.
Dictionary VentaOptimum(EntornoVenta& entorno, const SolicitudVenta& solicitud);

// The terminal's serial number: C57 sent with EnviaOptimum on an open link (in the Optimum's
// format); the text after "P57A", as long as the answer's length digits say. "" when
// the terminal refused, did not answer or sent no serial number. Never throws.
std::string SerieOptimum(serial::SerialLink& link, Operator& op);

}  // namespace tovalix::drivers::optimum
