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

std::string AmountDigits(double amount) {
  // 9,999,999,999.995 and more would round to eleven integer digits.
  if (!std::isfinite(amount) || amount < 0 || amount >= 9999999999.995) {
    throw Failure("Monto fuera del rango del PIN pad");
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", amount);
  const std::string_view decimal(text);
  if (decimal.find('e') != std::string_view::npos) {
    // Only amounts below 1E-4 are written with an exponent here: they round to zero cents.
    return std::string(12, '0');
  }
  const std::size_t point = decimal.find('.');
  const std::string_view whole = decimal.substr(0, point);
  const std::string fraction =
      point == std::string_view::npos ? "" : std::string(decimal.substr(point + 1));
  unsigned long long cents = 0;
  for (const char c : whole) cents = cents * 10 + static_cast<unsigned>(c - '0');
  for (std::size_t i = 0; i < 2; ++i) {
    cents = cents * 10 + (i < fraction.size() ? static_cast<unsigned>(fraction[i] - '0') : 0);
  }
  if (fraction.size() > 2 && fraction[2] >= '5') ++cents;
  char digits[32];
  std::snprintf(digits, sizeof digits, "%012llu", cents);
  if (std::string_view(digits).size() != 12) throw Failure("Monto fuera del rango del PIN pad");
  return digits;
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
