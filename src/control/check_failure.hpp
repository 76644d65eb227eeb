// How a failed check reports itself: the error text goes into the result under
// Response_Message, and the operator sees it in one of three box forms (or none).
#pragma once

#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

namespace tovalix::control {

inline constexpr std::string_view kEtapaDatosPinPad =
    "VALIDACION DE LOS DATOS LEIDOS DE LA PIN PAD";
inline constexpr std::string_view kEtapaDatosEnviados =
    "VALIDACION DE LOS DATOS ENVIADOS PARA SER OPERADOS";

struct Caja {
  enum class Forma { kNinguna, kCritica, kCriticaSinTitulo, kSimple };
  Forma forma;
  std::string titulo;  // the validation stage, for kCritica
  std::string texto;   // the box text when it differs from "TOVALIX: " + the message

  static Caja Ninguna() { return {Forma::kNinguna, "", ""}; }
  static Caja Critica(std::string_view etapa, std::string texto = "") {
    return {Forma::kCritica, std::string(etapa), std::move(texto)};
  }
  static Caja CriticaSinTitulo(std::string texto = "") {
    return {Forma::kCriticaSinTitulo, "", std::move(texto)};
  }
  static Caja Simple(std::string texto = "") { return {Forma::kSimple, "", std::move(texto)}; }
};

// Sets Response_Message to `mensaje` and shows the box. Always returns false, so a check reads
// `if (bad) return Rechaza(...)`.
bool Rechaza(Dictionary& resultado, Operator& op, std::string_view mensaje, const Caja& caja);

}  // namespace tovalix::control
