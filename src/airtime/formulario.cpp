#include "airtime/formulario.hpp"

#include "gateway/wire_format.hpp"

namespace tovalix::airtime {

Formulario::Formulario(const settings::Parametros& p) {
  Campo("eUser", p.UserTA);
  Campo("ePassword", p.PwdTA);
  Campo("serial", p.Serie);
  Campo("ptid", p.PTid);
}

Formulario& Formulario::Campo(std::string_view nombre, std::string_view valor) {
  if (!texto_.empty()) texto_ += '&';
  texto_ += nombre;
  texto_ += '=';
  texto_ += gateway::EncodeFormValue(valor);
  return *this;
}

}  // namespace tovalix::airtime
