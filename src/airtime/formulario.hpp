// The form text the airtime service reads: name=value pairs joined by "&", every request
// starting with the terminal's identity. Values go out as they stand except "&", "%" and "+",
// written as %26, %25 and %2B the way the gateway's form does, so that a password or a
// reference holding them reaches the service whole.
#pragma once

#include <string>
#include <string_view>

#include "settings/parametros.hpp"

namespace tovalix::airtime {

class Formulario {
 public:
  // Starts with eUser, ePassword, serial and ptid from the settings.
  explicit Formulario(const settings::Parametros& p);

  // Appends one field.
  Formulario& Campo(std::string_view nombre, std::string_view valor);

  const std::string& Texto() const { return texto_; }

 private:
  std::string texto_;
};

}  // namespace tovalix::airtime
