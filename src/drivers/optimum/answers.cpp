// Parsers of the Optimum's card answer (P54) and of the EMV text inside it. The answer comes as
// spaced hex: a token is two digits and their blank; skipping a token drops the text up to and
// including its blank.
#include <array>
#include <string>
#include <string_view>

#include "common/number_text.hpp"
#include "drivers/optimum/commands.hpp"
#include "serial/generales.hpp"

namespace tovalix::drivers::optimum {
namespace {

struct FilaTag {
  std::string_view tag;
  bool copia;
};

// The elements the gateway receives, in the order it receives them; a row that is not copied
// is only taken out of the text so that later searches do not meet it.
constexpr std::array<FilaTag, 30> kTablaTags{{
    {"5F2A", true},  {"82", true},    {"84", true},    {"95", true},   {"9A", false},
    {"9C", true},    {"9F02", true},  {"9F03", false}, {"9F09", true}, {"9F10", true},
    {"9F1A", true},  {"9F1E", false}, {"9F26", true},  {"9F27", true}, {"9F33", true},
    {"9F34", true},  {"9F35", true},  {"9F36", true},  {"9F37", true}, {"9F41", false},
    {"9F53", false}, {"5F34", true},  {"9F15", true},  {"9F39", true}, {"9F1C", true},
    {"5F28", true},  {"9F07", true},  {"9F0D", true},  {"9F0E", true}, {"9F0F", true},
}};

constexpr char kHex[] = "0123456789ABCDEF";

// The text of the first token (up to and including its blank; all the rest when no blank).
std::string_view PrimerToken(std::string_view r) {
  const std::size_t blanco = r.find(' ');
  return blanco == std::string_view::npos ? r : r.substr(0, blanco + 1);
}

void Salta(std::string_view& r) {
  r.remove_prefix(PrimerToken(r).size());  // no blank left: the text is used up
}

// Appends tokens to `campo` until a token equal to one of the stops (or the end of the text).
void Recoge(std::string_view& r, std::string& campo, std::string_view parada1,
            std::string_view parada2 = {}) {
  while (r.size() > 3) {
    const std::string_view token = PrimerToken(r);
    const std::string_view valor = TrimBlanks(token);
    if (valor == parada1 || (!parada2.empty() && valor == parada2)) break;
    campo += token;
    r.remove_prefix(token.size());
  }
}

// R after the first `marca` and one blank, when R holds `marca` followed by a blank.
bool AvanzaTras(std::string_view& r, std::string_view marca) {
  const std::size_t en = r.find(std::string(marca) + " ");
  if (en == std::string_view::npos) return false;
  r.remove_prefix(en + marca.size() + 1);
  return true;
}

bool Contiene(std::string_view r, std::string_view marca) {
  return r.find(marca) != std::string_view::npos;
}

int ModoDeEntrada(std::string_view c, std::string_view d) {
  const std::string cd = std::string(TrimBlanks(c)) + std::string(TrimBlanks(d));
  if (cd == "3030") return 1;  // stripe
  if (cd == "3130") return 2;  // chip
  if (cd == "3031") return 3;  // stripe after a failed chip read
  return 0;
}

// The value length n after a tag: exactly two decimal digits, or -1.
int LongitudDecimal(std::string_view s, std::size_t en) {
  if (en + 2 > s.size()) return -1;  // the text ends inside the length
  const char a = s[en];
  const char b = s[en + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
  return (a - '0') * 10 + (b - '0');
}

}  // namespace

Dictionary OPTIMUM::TagsValidos(std::string_view tags) const {
  std::string s;
  s.reserve(tags.size());
  for (const char c : tags) {
    if (c != ' ') s += c;
  }
  Dictionary resultado;
  resultado.Add("EMV_Tags", std::string(tags));
  resultado.Add("ARQC", "");
  resultado.Add("AID", "");
  std::string salida;
  for (const FilaTag& fila : kTablaTags) {
    const std::size_t p = s.find(fila.tag);
    if (p == std::string::npos) continue;
    const std::size_t inicio_longitud = p + fila.tag.size();
    const int n = LongitudDecimal(s, inicio_longitud);
    // An element whose count is not two digits, is odd (not whole bytes) or runs past the end
    // would reach the gateway with a length that does not match its value: leave it out.
    if (n < 0 || n % 2 != 0) continue;
    const std::size_t inicio_valor = inicio_longitud + 2;
    if (inicio_valor + static_cast<std::size_t>(n) > s.size()) continue;
    const std::string valor = s.substr(inicio_valor, static_cast<std::size_t>(n));
    if (fila.copia) {
      salida += fila.tag;
      salida += kHex[(n / 2) >> 4];
      salida += kHex[(n / 2) & 0x0F];
      salida += valor;
    }
    if (fila.tag == "9F26") resultado.Set("ARQC", valor);
    if (fila.tag == "84") resultado.Set("AID", valor);
    s.erase(p, inicio_valor + static_cast<std::size_t>(n) - p);
  }
  resultado.Set("EMV_Tags", salida);
  return resultado;
}

Dictionary OPTIMUM::ObtenTrack(std::string_view respuesta) const {
  std::string a;
  std::string b;
  std::string c;
  std::string d;
  std::string f;
  std::string g;
  int modo = 0;
  Dictionary emv;
  std::string_view r = respuesta;
  if (AvanzaTras(r, "50 35 34 41")) {  // the answer P54 with its field A
    Recoge(r, a, "1C");
    if (Contiene(r, "1C 42 ")) {
      Salta(r);
      Salta(r);
      Recoge(r, b, "1C");
    }
    if (Contiene(r, "1C 43 ")) {
      Salta(r);
      Salta(r);
      Recoge(r, c, "1C");
    }
    if (Contiene(r, "1C 44 ")) {
      Salta(r);
      Salta(r);
      Recoge(r, d, "1C", "03");
    }
    modo = ModoDeEntrada(c, d);
    if (AvanzaTras(r, "1C 46")) Recoge(r, f, "1C", "03");  // F is not used
    if (AvanzaTras(r, "1C 47")) {
      Recoge(r, g, "1C");
      emv = TagsValidos(serial::HexATextoLimpio(g));
    }
  }
  Dictionary resultado;
  const std::string track2 = serial::HexATextoLimpio(b);
  resultado.Add("Track1", serial::HexATextoLimpio(a));
  resultado.Add("Track2", track2);
  resultado.Add("PosEntryMode", std::to_string(modo));
  resultado.Add("EMV_Tags", emv.Item("EMV_Tags"));
  resultado.Add("ARQC", emv.Item("ARQC"));
  resultado.Add("AID", emv.Item("AID"));
  const std::size_t igual = track2.find('=');
  std::string exp;
  std::string servicio;
  if (igual != std::string::npos) {
    exp = track2.substr(igual + 1, 4);
    if (igual + 5 < track2.size()) servicio = track2.substr(igual + 5, 1);
  }
  resultado.Add("Exp", exp);
  resultado.Add("ServiceCode", servicio);
  return resultado;
}

}  // namespace tovalix::drivers::optimum
