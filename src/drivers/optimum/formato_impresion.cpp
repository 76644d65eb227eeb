#include "drivers/optimum/formato_impresion.hpp"

#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "common/number_text.hpp"

namespace tovalix::drivers::optimum {
namespace {

// "1234567" -> "1,234,567".
std::string ConMiles(std::string_view entero) {
  std::string out;
  for (std::size_t i = 0; i < entero.size(); ++i) {
    if (i > 0 && (entero.size() - i) % 3 == 0) out += ',';
    out += entero[i];
  }
  return out;
}

std::string DosCifras(int n) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", n);
  return buffer;
}

}  // namespace

std::string FormatoMoneda(double valor) {
  if (!std::isfinite(valor)) return TextOfDouble(valor);
  const bool negativo = valor < 0;
  const double absoluto = std::fabs(valor);
  std::string entero;
  std::string decimales;
  if (absoluto >= 1e15) {
    // Beyond 15 significant digits the decimals are noise; print what the double holds.
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.2f", absoluto);
    const std::string texto(buffer);
    entero = texto.substr(0, texto.size() - 3);
    decimales = texto.substr(texto.size() - 2);
  } else {
    // Round on the decimal text (15 significant digits), as a person reads the amount.
    const std::string texto = TextOfDouble(absoluto);
    unsigned long long centavos = 0;
    if (texto.find('E') == std::string::npos) {  // an exponent here means below 0.0001
      const std::size_t punto = texto.find('.');
      const std::string parte_entera = texto.substr(0, punto);
      std::string fraccion = punto == std::string::npos ? "" : texto.substr(punto + 1);
      fraccion.resize(std::max<std::size_t>(fraccion.size(), 3), '0');
      centavos = std::stoull(parte_entera) * 100 +
                 static_cast<unsigned long long>((fraccion[0] - '0') * 10 + (fraccion[1] - '0'));
      if (fraccion[2] >= '5') ++centavos;
    }
    if (centavos == 0) return "0.00";  // no "-0.00"
    entero = std::to_string(centavos / 100);
    decimales = DosCifras(static_cast<int>(centavos % 100));
  }
  return (negativo ? "-" : "") + ConMiles(entero) + "." + decimales;
}

std::string FormatoMoneda(std::string_view texto) {
  const auto numero = ParseNumber(texto);
  if (!numero) return std::string(texto);
  return FormatoMoneda(*numero);
}

std::string AlineaDerecha(std::string_view texto, std::size_t ancho) {
  const std::string relleno = std::string(ancho, ' ') + std::string(texto);
  return relleno.substr(relleno.size() - ancho);
}

std::string AlineaIzquierda(std::string_view texto, std::size_t ancho) {
  return (std::string(texto) + std::string(ancho, ' ')).substr(0, ancho);
}

std::string FechaVoucher(const platform::WallTime& ahora) {
  static constexpr std::array<const char*, 12> kMeses = {"ene", "feb", "mar", "abr", "may", "jun",
                                                         "jul", "ago", "sep", "oct", "nov", "dic"};
  const int mes = ahora.date.month >= 1 && ahora.date.month <= 12 ? ahora.date.month : 1;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d %s %04d", ahora.date.day, kMeses[mes - 1],
                ahora.date.year);
  return buffer;
}

std::string HoraVoucher(const platform::WallTime& ahora) {
  const int hora12 = ahora.hour % 12 == 0 ? 12 : ahora.hour % 12;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d %s", hora12, ahora.minute, ahora.second,
                ahora.hour < 12 ? "a.m." : "p.m.");
  return buffer;
}

std::string FechaHoraTicket(const platform::WallTime& ahora) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, " %02d/%02d/%04d %02d:%02d:%02d", ahora.date.day,
                ahora.date.month, ahora.date.year, ahora.hour, ahora.minute, ahora.second);
  return buffer;
}

}  // namespace tovalix::drivers::optimum
