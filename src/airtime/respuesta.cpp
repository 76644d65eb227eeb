#include "airtime/respuesta.hpp"

#include "common/failure.hpp"
#include "common/text_encoding.hpp"

namespace tovalix::airtime {

Documento::Documento(std::string_view body) : documento_(platform::MakeXmlDocument()) {
  documento_->Load(body);
}

std::string Documento::Texto(std::string_view nombre) const {
  const platform::XmlNode nodo = Raiz().ChildElement(nombre);
  if (nodo.IsNull()) {
    throw Failure("La respuesta del servicio de tiempo aire no trae el dato " +
                  std::string(nombre));
  }
  return TextoDe(nodo);
}

std::string TextoDe(const platform::XmlNode& nodo) {
  return ToUtf8Lenient(nodo.Text());
}

platform::XmlNode Hijo(const platform::XmlNode& nodo, std::size_t posicion) {
  const platform::XmlNode hijo = nodo.Child(posicion);
  if (hijo.IsNull()) {
    throw Failure("El catálogo de tiempo aire no trae el nodo " + std::to_string(posicion + 1) +
                  " de " + nodo.Name());
  }
  return hijo;
}

platform::XmlNode Anterior(const platform::XmlNode& nodo) {
  const platform::XmlNode anterior = nodo.PreviousSibling();
  if (anterior.IsNull()) {
    throw Failure("El catálogo de tiempo aire no trae el nodo anterior a " + nodo.Name());
  }
  return anterior;
}

std::string Mayusculas(std::string_view texto) {
  std::string out(texto);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 'a' + 'A');
    } else if (c == 0xC3 && i + 1 < out.size()) {
      // U+00E0..U+00FE (but not U+00F7, the division sign) map 0x20 lower.
      const auto next = static_cast<unsigned char>(out[i + 1]);
      if (next >= 0xA0 && next <= 0xBE && next != 0xB7) out[i + 1] = static_cast<char>(next - 0x20);
      ++i;
    }
  }
  return out;
}

}  // namespace tovalix::airtime
