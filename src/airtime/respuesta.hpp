// Reading the service's XML answers: elements named exactly under the root, and the catalogue's
// nodes taken by position. A node that is not there is a failure the caller reports.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/xml_document.hpp"

namespace tovalix::airtime {

class Documento {
 public:
  // Loads the answer's body. Throws Failure when it is not XML.
  explicit Documento(std::string_view body);

  platform::XmlNode Raiz() const { return documento_->Root(); }

  // The text of the root's first child element named exactly `nombre`, as valid UTF-8.
  // Throws Failure when there is none.
  std::string Texto(std::string_view nombre) const;

 private:
  std::unique_ptr<platform::XmlDocument> documento_;
};

// A node's text as valid UTF-8 (Windows-1252 when it is not UTF-8).
std::string TextoDe(const platform::XmlNode& nodo);

// The child node at `posicion` (0 is the first). Throws Failure when there is none.
platform::XmlNode Hijo(const platform::XmlNode& nodo, std::size_t posicion);

// The node just before `nodo`. Throws Failure when it is the first.
platform::XmlNode Anterior(const platform::XmlNode& nodo);

// `texto` in upper case: ASCII letters and the accented letters of Latin-1 (ñ -> Ñ, é -> É).
// Catalogue names and providers are compared this way.
std::string Mayusculas(std::string_view texto);

}  // namespace tovalix::airtime
