#include "drivers/ingenico/frame_fields.hpp"

#include <cmath>
#include <cstdio>

#include "common/failure.hpp"
#include "common/text_encoding.hpp"
#include "serial/generales.hpp"

namespace tovalix::drivers::ingenico {
namespace {

constexpr std::size_t kDisplayWidth = 32;
constexpr std::size_t kMaxDataBytes = 0xFFFF;  // what two length bytes can say
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::string TwoDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

}  // namespace

std::string HexOfBytes(std::string_view bytes) {
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex += kHexDigits[byte >> 4];
    hex += kHexDigits[byte & 0x0F];
  }
  return hex;
}

std::string BuildFrame(std::string_view code_hex, std::string_view data_hex) {
  if (data_hex.size() % 2 != 0) throw Failure("Datos del comando incompletos");
  for (const char c : data_hex) {
    if (!IsHexDigit(c)) throw Failure("Datos del comando no válidos");
  }
  const std::size_t bytes = data_hex.size() / 2;
  if (bytes > kMaxDataBytes) throw Failure("Datos del comando demasiado largos");
  char length[8];
  std::snprintf(length, sizeof length, "%04zX", bytes);
  std::string body(code_hex);
  body += length;
  body += data_hex;
  char lrc[4];
  std::snprintf(lrc, sizeof lrc, "%X",
                static_cast<unsigned>(serial::CalculaLRC(serial::HexATexto(body))));
  return "02" + body + "03" + lrc;
}

std::string DisplayBytes(std::string_view utf8_text) {
  std::string line = Utf8ToAnsi(utf8_text);
  line.resize(kDisplayWidth, ' ');
  return line;
}

std::string AmountDigits(Money amount) {
  if (amount.Centavos() < 0 || amount.Centavos() > kMaxAmountCentavos) {
    throw Failure("Monto fuera del rango del PIN pad");
  }
  char digits[32];
  std::snprintf(digits, sizeof digits, "%012lld", static_cast<long long>(amount.Centavos()));
  return digits;
}

std::string AmountDigits(double amount) {
  switch (Money::CheckHost(amount)) {
    case Money::Fault::kNone:
      return AmountDigits(*Money::FromHost(amount));
    case Money::Fault::kSubCentavo:
      throw Failure("Monto con fracción de centavo");
    default:
      throw Failure("Monto fuera del rango del PIN pad");
  }
}

std::string DateDigits(const platform::WallTime& now) {
  const auto& d = now.date;
  if (d.year < 0 || d.year > 9999 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31) {
    throw Failure("Fecha no válida");
  }
  char text[16];
  std::snprintf(text, sizeof text, "%04d", d.year);
  return text + TwoDigits(d.month) + TwoDigits(d.day);
}

std::string TimeDigits(const platform::WallTime& now) {
  if (now.hour < 0 || now.hour > 23 || now.minute < 0 || now.minute > 59 || now.second < 0 ||
      now.second > 60) {
    throw Failure("Hora no válida");
  }
  return TwoDigits(now.hour) + TwoDigits(now.minute) + TwoDigits(now.second);
}

}  // namespace tovalix::drivers::ingenico
