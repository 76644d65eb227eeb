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

std::vector<std::string> LeeTextos(const Documento& documento,
                                   const std::vector<std::string_view>& nombres) {
  std::vector<std::string> textos;
  textos.reserve(nombres.size());
  for (const std::string_view nombre : nombres) textos.push_back(documento.Texto(nombre));
  return textos;
}

}  // namespace tovalix::airtime
