#include "counter/mostrador.hpp"

#include "common/deployment.hpp"
#include "common/number_text.hpp"
#include "drivers/models.hpp"
#include "platform/safe_address.hpp"
#include "serial/port_discovery.hpp"
#include "settings/store.hpp"

namespace tovalix::counter {

bool Aviso(Operator& op, std::string_view texto) {
  op.MessageBox(std::string(texto), Operator::kPlain, "");
  return false;
}

bool AvisoCritico(Operator& op, std::string_view texto, std::string_view titulo) {
  op.MessageBox(std::string(texto), Operator::kCritical, std::string(titulo));
  return false;
}

bool Blanco(std::string_view texto) {
  return TrimBlanks(texto).empty();
}

std::size_t Longitud(std::string_view texto) {
  std::size_t caracteres = 0;
  for (const char c : texto) {
    if ((static_cast<unsigned char>(c) & 0xC0U) != 0x80U) ++caracteres;
  }
  return caracteres;
}

bool TresIgualesSeguidos(std::string_view texto) {
  for (std::size_t i = 0; i + 2 < texto.size(); ++i) {
    if (texto[i] == texto[i + 1] && texto[i + 1] == texto[i + 2]) return true;
  }
  return false;
}

std::string Mayusculas(std::string_view texto) {
  std::string resultado(texto);
  for (char& c : resultado) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return resultado;
}

bool DireccionSegura(Operator& op, const std::string& url) {
  return platform::IsSafeAddress(url) || Aviso(op, "TOVALIX: " + platform::UnsafeAddressText(url));
}

bool InicioCorresponsal(settings::Parametros& parametros, std::string& puerto, Operator& op) {
  if (!settings::CargaParametros(parametros, op)) return AvisoCritico(op, kMalInicializada);
  puerto = serial::AsignaPuerto(drivers::PortNamesOf(parametros.Tipo), op);
  if (Blanco(parametros.UrlGateway)) return Aviso(op, kErrorInicializacion);
  if (!DireccionSegura(op, CounterUrl())) return false;
  if (Blanco(puerto)) return false;  // AsignaPuerto has told the operator
  if (Blanco(parametros.Tipo)) return AvisoCritico(op, kErrorTipo, kEtapaDatosPinPad);
  if (Blanco(parametros.Serie)) return AvisoCritico(op, kErrorSerie, kEtapaDatosPinPad);
  if (Longitud(TrimBlanks(parametros.Serie)) > kLongitudMaximaSerie) {
    return AvisoCritico(op, kLongitudSerie, kEtapaDatosPinPad);
  }
  return true;
}

void AgregaDatosComercio(Dictionary& resultado, const settings::Parametros& parametros) {
  resultado.Set("Description", parametros.Descripcion);
  resultado.Set("Address1", parametros.Direccion1);
  resultado.Set("Address2", parametros.Direccion2);
  resultado.Set("Address3", parametros.Direccion3);
  resultado.Set("RFC", parametros.Rfc);
  resultado.Set("Phone", parametros.Telefono);
}

}  // namespace tovalix::counter
