#include "control/address_lines.hpp"

#include "common/number_text.hpp"

namespace tovalix::control {
namespace {

void AgregaSiHay(std::string& linea, const std::string& separador, const std::string& parte) {
  if (!parte.empty()) linea += separador + parte;
}

}  // namespace

std::string PrimeraLineaDireccion(const Dictionary& prueba) {
  std::string linea = prueba.Item("m_street");
  AgregaSiHay(linea, " ", prueba.Item("m_number"));
  AgregaSiHay(linea, " ", prueba.Item("m_interior"));
  return linea;
}

std::string SegundaLineaDireccion(const Dictionary& prueba) {
  std::string linea = prueba.Item("m_colony");
  AgregaSiHay(linea, " ", prueba.Item("m_municipality"));
  const std::string& cp = prueba.Item("m_zip_code");
  if (!cp.empty() && LeadingNumber(cp) != 0) linea += " CP." + cp;
  return linea;
}

std::string TerceraLineaDireccion(const Dictionary& prueba) {
  std::string linea = prueba.Item("m_city");
  const std::string& estado = prueba.Item("m_state");
  if (!estado.empty()) linea += linea.empty() ? estado : "," + estado;
  return linea;
}

}  // namespace tovalix::control
