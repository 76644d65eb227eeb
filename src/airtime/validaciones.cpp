#include "airtime/validaciones.hpp"

#include <string>

#include "common/number_text.hpp"

namespace tovalix::airtime {

bool PasaVerificaciones(Operator& op, std::initializer_list<Verificacion> tabla) {
  for (const Verificacion& v : tabla) {
    if (v.falla) {
      op.MessageBox(std::string(v.mensaje), v.estilo, std::string(v.titulo));
      return false;
    }
  }
  return true;
}

bool EnBlanco(std::string_view texto) {
  return TrimBlanks(texto).empty();
}

bool EsNumero(std::string_view texto) {
  std::string_view resto = TrimBlanks(texto);
  if (!resto.empty() && (resto.front() == '+' || resto.front() == '-')) resto.remove_prefix(1);
  bool digitos = false;
  bool punto = false;
  for (const char c : resto) {
    if (c >= '0' && c <= '9') {
      digitos = true;
    } else if (c == '.' && !punto) {
      punto = true;
    } else {
      return false;
    }
  }
  return digitos;
}

std::size_t Caracteres(std::string_view texto) {
  std::size_t n = 0;
  for (const char c : texto) {
    // Continuation bytes (10xxxxxx) belong to the character before them.
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  }
  return n;
}

}  // namespace tovalix::airtime
