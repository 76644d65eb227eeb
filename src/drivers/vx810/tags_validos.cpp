// The EMV tags that go to the gateway: the elements of the chip answer picked out by a table,
// copied in table order, with the ARQC (9F26) and the application id (84) apart.
#include "drivers/vx810/tags_validos.hpp"

#include <array>
#include <cstddef>

#include "common/failure.hpp"
#include "drivers/vx810/commands.hpp"
#include "drivers/vx810/spaced_hex_walk.hpp"
#include "serial/generales.hpp"

namespace tovalix::drivers::vx810 {
namespace {

struct FilaTag {
  std::string_view tag;
  bool copia;  // copied into EMV_Tags; otherwise only removed
};

// Searched in this order; each element found is removed so later searches do not see it.
constexpr std::array<FilaTag, 36> kTablaTags = {{
    {"9F39", true},  {"5F34", true},  {"8A", false},   {"5F2A", true},  {"82", true},
    {"84", true},    {"95", true},    {"9A", false},   {"9C", true},    {"9F02", true},
    {"9F03", false}, {"9F09", true},  {"9F10", true},  {"9F1A", true},  {"9F1E", false},
    {"9F26", true},  {"9F27", true},  {"9F33", true},  {"9F34", true},  {"9F35", true},
    {"9F36", true},  {"9F37", true},  {"9F41", false}, {"9F53", false}, {"9F1C", true},
    {"5F28", true},  {"9F07", true},  {"9F0D", true},  {"9F0E", true},  {"9F0F", true},
    {"9F15", true},  {"9F30", false}, {"9F16", false}, {"9F21", false}, {"5F25", false},
    {"9F01", false},
}};

// Up to `count` characters of `text` from `at`; "" past the end.
std::string_view Mid(std::string_view text, std::size_t at, std::size_t count) {
  return at >= text.size() ? std::string_view() : text.substr(at, count);
}

}  // namespace

TagsFiltrados FiltraTags(std::string_view tags) noexcept {
  TagsFiltrados result;
  try {
    result.emv_tags = std::string(tags);
    std::string text;
    text.reserve(tags.size());
    for (const char c : tags) {
      if (c != ' ') text += c;
    }
    std::string salida;
    for (const FilaTag& fila : kTablaTags) {
      // A plain text search: a one-byte tag is taken wherever its two digits first appear.
      const std::size_t at = text.find(fila.tag);
      if (at == std::string::npos) continue;
      const std::size_t length_at = at + fila.tag.size();
      const int length = serial::BaseAEntero(Mid(text, length_at, 2), 16);
      if (length < 0) throw Failure("Llamada a procedimiento o argumento no validos");
      const std::size_t value_digits = static_cast<std::size_t>(length) * 2;
      const std::size_t element = fila.tag.size() + 2 + value_digits;
      if (fila.copia) salida += Mid(text, at, element);
      if (fila.tag == "9F26") result.arqc = Mid(text, length_at + 2, value_digits);
      if (fila.tag == "84") result.aid = Mid(text, length_at + 2, value_digits);
      text.erase(at, element);
    }
    result.emv_tags = std::move(salida);
  } catch (...) {
    // ends silently with what it holds
  }
  return result;
}

Dictionary Vx810::TagsValidos(std::string_view tags) const noexcept {
  Dictionary result;
  try {
    const TagsFiltrados filtrados = FiltraTags(tags);
    result.Add("EMV_Tags", Latin1ToUtf8(filtrados.emv_tags));
    result.Add("ARQC", Latin1ToUtf8(filtrados.arqc));
    result.Add("AID", Latin1ToUtf8(filtrados.aid));
  } catch (...) {
    // out of memory: what it holds
  }
  return result;
}

}  // namespace tovalix::drivers::vx810
