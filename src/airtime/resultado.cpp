#include "airtime/resultado.hpp"

#include "airtime/respuesta.hpp"

namespace tovalix::airtime {

void Agrega(Dictionary& resultado, std::initializer_list<std::string_view> claves,
            const std::string& valor) {
  for (const std::string_view clave : claves) resultado.Add(std::string(clave), valor);
}

void AgregaComercio(Dictionary& resultado) {
  Agrega(resultado, {"Description", "Address1", "Address2", "Address3", "RFC", "Phone"});
}

void AgregaComercio(Dictionary& resultado, const settings::Parametros& p) {
  resultado.Add("Description", p.Descripcion);
  resultado.Add("Address1", p.Direccion1);
  resultado.Add("Address2", p.Direccion2);
  resultado.Add("Address3", p.Direccion3);
  resultado.Add("RFC", p.Rfc);
  resultado.Add("Phone", p.Telefono);
}

Dictionary Aceptada(const Documento& documento, const std::vector<std::string_view>& campos,
                    const settings::Parametros& p,
                    std::initializer_list<std::pair<std::string_view, std::string_view>> primeros) {
  Dictionary aceptada;
  aceptada.Add("Accepted", "True");
  for (const auto& [clave, valor] : primeros) aceptada.Add(std::string(clave), std::string(valor));
  for (const std::string_view campo : campos) {
    aceptada.Add(std::string(campo), documento.Texto(campo));
  }
  AgregaComercio(aceptada, p);
  return aceptada;
}

}  // namespace tovalix::airtime
