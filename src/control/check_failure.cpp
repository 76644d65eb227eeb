#include "control/check_failure.hpp"

namespace tovalix::control {

bool Rechaza(Dictionary& resultado, Operator& op, std::string_view mensaje, const Caja& caja) {
  resultado.Set("Response_Message", std::string(mensaje));
  const std::string texto = caja.texto.empty() ? "TOVALIX: " + std::string(mensaje) : caja.texto;
  switch (caja.forma) {
    case Caja::Forma::kNinguna:
      break;
    case Caja::Forma::kCritica:
      op.MessageBox(texto, Operator::kCritical, caja.titulo);
      break;
    case Caja::Forma::kCriticaSinTitulo:
      op.MessageBox(texto, Operator::kCritical, "");
      break;
    case Caja::Forma::kSimple:
      op.MessageBox(texto, Operator::kPlain, "");
      break;
  }
  return false;
}

}  // namespace tovalix::control
