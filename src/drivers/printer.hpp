// A model's own printer: what the control hands it and what it reports. Only a model whose
// terminal prints has one (ModelDescriptor::printer); the control asks the table, never the
// model's name, whether it may print.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>

#include "drivers/sale_request.hpp"
#include "platform/clock.hpp"

namespace tovalix::drivers {

// What a sales ticket prints at its head and foot.
struct DatosTicket {
  std::string Razon;
  std::string Dir1;
  std::string Dir2;
  std::string Dir3;
  std::string Tel;
  std::string Folio;
  std::string Total;
};

struct Printer {
  // Prints the voucher of `operacion` from `datos`; true when every copy printed.
  bool (*voucher)(EntornoVenta& entorno, const Dictionary& datos, std::string_view texto,
                  std::int16_t operacion, const platform::WallTime& ahora);
  // Prints a sales ticket with every entry of `articulos` and `pagos`; true when printed.
  bool (*ticket)(EntornoVenta& entorno, const DatosTicket& ticket,
                 std::span<const std::string> articulos, std::span<const std::string> pagos,
                 const platform::WallTime& ahora);
};

}  // namespace tovalix::drivers
