// The check tables of the airtime operations: the first condition that holds shows its
// message and ends the operation.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string_view>

#include <tovalix/operator.hpp>

namespace tovalix::airtime {

inline constexpr std::string_view kTituloTiempoAire = "TIEMPO AIRE";

struct Verificacion {
  bool falla;
  std::string_view mensaje;
  int estilo;
  std::string_view titulo;  // "" for the default title
};

// Shows the message of the first entry that fails; true when none does.
bool PasaVerificaciones(Operator& op, std::initializer_list<Verificacion> tabla);

// Empty once blanks at both ends are removed.
bool EnBlanco(std::string_view texto);

// The airtime service's idea of a number: blanks around, an optional sign, digits with at most
// one decimal point. No exponent, tab, hexadecimal or thousands separator: "5512345e67" is not
// a telephone.
bool EsNumero(std::string_view texto);

// Length in characters (UTF-8 code points).
std::size_t Caracteres(std::string_view texto);

}  // namespace tovalix::airtime
