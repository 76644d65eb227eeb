// Printing on the Hypercom Optimum's printer: a voucher in two copies (customer, cashier) or
// one, and a sales ticket. The print text goes to the terminal unframed; the printer answers
// with a short status "vxv" and a digit: 0 printed, 1 no paper, 2 send the text again.
// The control reaches them through the Optimum's descriptor (drivers/printer.hpp).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>

#include "drivers/printer.hpp"
#include "drivers/sale_request.hpp"
#include "platform/clock.hpp"

namespace tovalix::drivers::optimum {

// Prints the voucher of `operacion` (11 card payment, 1 gift card, 22 counter service) from
// `datos` (for a card payment, PagoTarjeta's result with the merchant's data). The control has
// loaded the settings and found the port (entorno.puerto) before; the link is opened when it
// is not open, and closed at the end on every path. A gift-card balance query (process_type
// "GCBalance", operation 22) prints once as "TICKET UNICO"; any other voucher prints
// "COPIA CLIENTE", then a second later "COPIA CAJERO". Each copy's printer status is shown
// in a plain box ("Impresora sin papel"; "Reenviando Impresión", then the text is sent once
// more; anything else "Error no identificado al imprimir el voucher"); a printer that does not
// answer gets that last message too. An operation with no layout on this printer (2 airtime,
// 4 remittance) is refused with one box before the port is opened. `texto` serves the other
// models' printing, not this one. True when every copy printed. Never throws.
bool ImprimeVoucher(EntornoVenta& entorno, const Dictionary& datos, std::string_view texto,
                    std::int16_t operacion, const platform::WallTime& ahora = platform::LocalNow());

// Prints a sales ticket once, with the statuses handled as for a voucher. `articulos` holds
// "description,quantity,unit price" entries and `pagos` "concept,amount" entries, every one
// printed. An entry that does not read so is refused with one box before the port is opened.
// True when printed. Never throws.
bool ImprimeTicket(EntornoVenta& entorno, const DatosTicket& ticket,
                   std::span<const std::string> articulos, std::span<const std::string> pagos,
                   const platform::WallTime& ahora = platform::LocalNow());

// The Optimum's printer in the table of models.
extern const Printer kImpresoraOptimum;

}  // namespace tovalix::drivers::optimum
