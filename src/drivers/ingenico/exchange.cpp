#include "drivers/ingenico/exchange.hpp"

#include <string>

#include "drivers/ingenico/commands.hpp"

namespace tovalix::drivers::ingenico {

std::int16_t EnviaRecibe(serial::SerialLink& link, std::string_view comando,
                         std::string_view codigo_hex) {
  std::string compact(comando);
  std::erase(compact, ' ');
  const bool teclado = compact.find(kCodigoKBD) != std::string::npos;
  return link.EnviaRecibe(comando, codigo_hex,
                          teclado ? kPlazoTeclado : serial::SerialLink::kPlazoRecibe);
}

}  // namespace tovalix::drivers::ingenico
