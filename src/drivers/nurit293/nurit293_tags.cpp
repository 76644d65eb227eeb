// The chip data the gateway receives: the elements of the tag table, in the table's order,
// taken out of the library's chip text.
#include <array>
#include <string>
#include <string_view>

#include "drivers/nurit293/commands.hpp"

namespace tovalix::drivers::nurit293 {
namespace {

struct FilaTag {
  std::string_view tag;
  bool copia;  // false: only taken out, so that later searches do not meet it
};

constexpr std::array<FilaTag, 35> kTablaTags{{
    {"5F25", false}, {"5F28", true},  {"5F2A", true},  {"5F34", true},  {"82", true},
    {"84", true},    {"95", true},    {"9A", false},   {"9C", true},    {"9F", false},
    {"9F02", true},  {"9F03", false}, {"9F07", true},  {"9F09", true},  {"9F0D", true},
    {"9F0E", true},  {"9F0F", true},  {"9F10", true},  {"9F15", true},  {"9F16", false},
    {"9F1A", true},  {"9F1C", true},  {"9F1E", false}, {"9F21", false}, {"9F26", true},
    {"9F27", true},  {"9F33", true},  {"9F34", true},  {"9F35", true},  {"9F36", true},
    {"9F37", true},  {"9F39", true},  {"9F41", false}, {"9F53", false}, {"9F01", false},
}};

int DigitoHex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The byte count written in the two characters at `en` (blanks around it ignored), or -1.
int Longitud(std::string_view s, std::size_t en) {
  if (en + 2 > s.size()) return -1;  // the text ends inside the length
  std::string_view digitos = s.substr(en, 2);
  while (!digitos.empty() && digitos.front() == ' ') digitos.remove_prefix(1);
  while (!digitos.empty() && digitos.back() == ' ') digitos.remove_suffix(1);
  if (digitos.empty()) return -1;
  int valor = 0;
  for (const char c : digitos) {
    const int d = DigitoHex(c);
    if (d < 0) return -1;
    valor = valor * 16 + d;
  }
  return valor;
}

}  // namespace

Dictionary NURIT293::TagsValidos(std::string_view chip) const {
  Dictionary resultado;
  resultado.Add("EMV_Tags", "");
  resultado.Add("ARQC", "");
  resultado.Add("AID", "");
  std::string tags;
  std::string texto(chip);
  for (const FilaTag& fila : kTablaTags) {
    // 9F alone is never a tag: it is the first byte of every two-byte 9Fxx tag. Searched for
    // as a tag it would take the head of the first 9Fxx element left (the cryptogram, the
    // amount) and throw it away, so the row is kept in its place and never matched.
    if (fila.tag == "9F") continue;
    const std::size_t p = texto.find(fila.tag);
    if (p == std::string::npos) continue;
    const std::size_t en_longitud = p + fila.tag.size();
    const int bytes = Longitud(texto, en_longitud);
    // A length that is not hex, or a value that runs past the end, would reach the gateway as
    // an element whose length does not match its value: leave it out.
    if (bytes < 0) continue;
    const std::size_t n = static_cast<std::size_t>(bytes) * 2;
    const std::size_t en_valor = en_longitud + 2;
    if (en_valor + n > texto.size()) continue;
    const std::size_t largo = en_valor + n - p;
    if (fila.copia) tags += texto.substr(p, largo);
    if (fila.tag == "9F26") resultado.Set("ARQC", texto.substr(en_valor, n));
    if (fila.tag == "84") resultado.Set("AID", texto.substr(en_valor, n));
    texto.erase(p, largo);
  }
  resultado.Set("EMV_Tags", tags);
  return resultado;
}

}  // namespace tovalix::drivers::nurit293
