// Frame builders of the Optimum: STX, three length digits, message, ETX, LRC.
#include <cmath>
#include <cstdio>
#include <string>

#include "common/number_text.hpp"
#include "common/text_encoding.hpp"
#include "drivers/optimum/commands.hpp"
#include "serial/generales.hpp"

namespace tovalix::drivers::optimum {
namespace {

constexpr std::size_t kMaxMessage = 999;  // what three decimal length digits can count
constexpr std::size_t kBcdAmountDigits = 12;

// Frames a whole message. A message longer than the length field can count would go out with
// a wrong length, so it gives no frame at all.
std::string Trama(const std::string& mensaje) {
  if (mensaje.size() > kMaxMessage) return {};
  char digits[4];
  std::snprintf(digits, sizeof digits, "%03zu", mensaje.size());
  std::string cuerpo = std::string(digits) + mensaje;
  const std::uint8_t lrc = serial::CalculaLRC(cuerpo);
  std::string trama;
  trama.reserve(cuerpo.size() + 3);
  trama += serial::kStx;
  trama += cuerpo;
  trama += serial::kEtx;
  trama += static_cast<char>(lrc);
  return trama;
}

// A field after the first: FS, its letter, its value.
std::string Campo(char letra, std::string_view valor) {
  std::string campo;
  campo += serial::kFs;
  campo += letra;
  campo += valor;
  return campo;
}

// Two decimal digits packed into one byte ("24" -> 0x24).
char Bcd(int dos_digitos) {
  return static_cast<char>(((dos_digitos / 10) << 4) | (dos_digitos % 10));
}

// The twelve BCD digits of an amount field as six bytes, or nothing when the amount is not a
// whole number of pesos of at most twelve digits: the field has no place for centavos or a
// sign.
bool MontoBcd(Money monto, std::string& bytes) {
  if (monto.Centavos() < 0 || monto.HasCentavos()) return false;
  const std::string texto = std::to_string(monto.WholePesos());
  if (texto.size() > kBcdAmountDigits) return false;
  const std::string digitos = std::string(kBcdAmountDigits - texto.size(), '0') + texto;
  for (std::size_t i = 0; i < digitos.size(); i += 2) {
    bytes += Bcd((digitos[i] - '0') * 10 + (digitos[i + 1] - '0'));
  }
  return true;
}

// Last two characters of "00" followed by the decimal text of `value`.
std::string DosDigitos(std::int16_t value) {
  const std::string texto = "00" + std::to_string(value);
  return texto.substr(texto.size() - 2);
}

}  // namespace

std::string OPTIMUM::C52(std::int16_t i1, std::int16_t i2, std::int16_t i3,
                         std::string_view t) const {
  std::string mensaje = "C52A" + std::to_string(i1).substr(0, 1);
  mensaje += Campo('B', DosDigitos(i2));
  mensaje += Campo('C', DosDigitos(i3));
  mensaje += Campo('D', Utf8ToAnsi(t));
  return Trama(mensaje);
}

std::string OPTIMUM::C54(Money monto, Money propina, const platform::WallTime& ahora) const {
  std::string importe;
  std::string pro;
  if (!MontoBcd(monto, importe) || !MontoBcd(propina, pro)) return {};
  std::string fecha;
  fecha += Bcd(ahora.date.day);
  fecha += Bcd(ahora.date.month);
  fecha += Bcd(ahora.date.year % 100);
  std::string hora;
  hora += Bcd(ahora.hour);
  hora += Bcd(ahora.minute);
  std::string mensaje = "C54AINSERTE O DESLICE TARJETA";
  mensaje += Campo('B', fecha);
  mensaje += Campo('C', hora);
  mensaje += Campo('D', importe);
  mensaje += Campo('E', pro);
  mensaje += Campo('F', std::string{'\x04', '\x84'});
  mensaje += Campo('G', std::string(1, '\0'));
  mensaje += Campo('H', std::string(1, '\0'));
  return Trama(mensaje);
}

std::string OPTIMUM::Notify(std::string_view codigo) const {
  return Trama("C54A00" + Campo('B', codigo == "00" ? "00" : "01"));
}

std::string OPTIMUM::C53() const {
  return Trama("C53ADESLICE TARJETA");
}

std::string OPTIMUM::C57() const {
  return Trama("C57");
}

std::string OPTIMUM::ArmaMensaje(std::string_view texto) const {
  return Trama("C50A" + Utf8ToAnsi(texto));
}

std::string OPTIMUM::C58(std::string_view texto) const {
  return Trama("C58A" + Utf8ToAnsi(texto));
}

}  // namespace tovalix::drivers::optimum
