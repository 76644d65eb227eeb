#include "serial/generales.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "common/error_report.hpp"
#include "common/failure.hpp"
#include "common/number_text.hpp"

namespace tovalix::serial {
namespace {

constexpr double kPumpSlice = 0.01;  // seconds between two turns of the host's event loop
constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads hex digits from the start of `text` as far as they go ("4X" is 4, "XX" is 0).
int LeadingHex(std::string_view text) {
  int value = 0;
  for (const char c : text) {
    const int digit = HexValue(c);
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  return value;
}

// The frame check shared by both protocols: `search` locates the body's start in the compact
// hex; the body runs to the ETX before the LRC.
std::int16_t CheckFrame(std::string_view raw, std::string_view search) {
  if (raw.size() < 2) return 0;               // need ETX and LRC at least
  if (raw[raw.size() - 2] != kEtx) return 0;  // not complete yet
  std::string compact;
  compact.reserve(raw.size() * 2);
  for (const char c : raw) {
    const auto byte = static_cast<unsigned char>(c);
    compact += kHexDigits[byte >> 4];
    compact += kHexDigits[byte & 0x0F];
  }
  const std::size_t start = compact.find(search);
  if (start == std::string::npos) return 0;  // no STX with that command
  const std::size_t body_begin = start + 2;
  const std::size_t etx = compact.size() - 4;
  if (body_begin > etx) return 0;  // the STX found is the ETX or the LRC itself
  const std::string body =
      HexATexto(std::string_view(compact).substr(body_begin, etx - body_begin));
  const int received = LeadingHex(std::string_view(compact).substr(compact.size() - 2));
  return received == CalculaLRC(body) ? 1 : 0;
}

}  // namespace

void Pausa(double seconds, Operator& op, const platform::Clock& clock) {
  const double end = clock.Now() + seconds;
  for (double now = clock.Now(); now < end; now = clock.Now()) {
    op.Pump();
    clock.SleepFor(std::min(kPumpSlice, end - now));
  }
}

std::string QuitaComas(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c != ',') out += c;
  }
  return out;
}

std::uint8_t CalculaLRC(std::string_view raw) {
  std::uint8_t lrc = 0;
  for (const char c : raw) lrc ^= static_cast<std::uint8_t>(c);
  return static_cast<std::uint8_t>(lrc ^ 0x03);
}

std::string HexATexto(std::string_view hex) {
  std::string out;
  out.reserve(hex.size() / 2 + 1);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    out += static_cast<char>(LeadingHex(hex.substr(i, 2)));
  }
  return out;
}

std::string HexATextoLimpio(std::string& hex) {
  hex.erase(std::remove(hex.begin(), hex.end(), ' '), hex.end());
  return HexATexto(hex);
}

std::string TextoAHex(std::string_view raw) {
  std::string out;
  out.reserve(raw.size() * 3);
  for (const char c : raw) {
    const auto byte = static_cast<unsigned char>(c);
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
    out += ' ';
  }
  return out;
}

std::string HexBlancosATexto(std::string_view spaced) {
  std::string out;
  out.reserve(spaced.size() / 3 + 1);
  for (std::size_t i = 0; i < spaced.size(); i += 3) {
    const std::string_view group = TrimBlanks(spaced.substr(i, 3));
    if (group.empty()) continue;  // a group of blanks holds no byte
    out += static_cast<char>(LeadingHex(group));
  }
  return out;
}

std::int16_t BaseAEntero(std::string_view text, std::uint8_t base) {
  long value = 0;
  for (const char c : text) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    int digit = -1;
    if (upper >= '0' && upper <= '9') {
      digit = upper - '0';
    } else if (upper >= 'A' && upper <= 'H') {
      digit = upper - 'A' + 10;
    } else if (upper == 'I') {
      digit = 18;
    } else if (upper == 'O') {
      digit = 19;
    }
    value = value * base + digit;
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
      throw Failure("Desbordamiento");
    }
  }
  return static_cast<std::int16_t>(value);
}

std::string DecimalABinario(double value, std::optional<int> bits) {
  // The integer part is taken exactly, as a decimal of up to 96 bits.
  if (!(value >= 0) || value >= 79228162514264337593543950336.0) throw Failure("Desbordamiento");
  // A whole double is its 53-bit mantissa shifted left: the mantissa's digits, then zeros.
  int exponent = 0;
  const double fraction = std::frexp(std::trunc(value), &exponent);
  auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  int zeros = exponent - 53;
  if (zeros < 0) {
    mantissa >>= -zeros;
    zeros = 0;
  }
  std::string digits;
  for (; mantissa != 0; mantissa >>= 1) {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(mantissa & 1)));
  }
  digits.append(static_cast<std::size_t>(zeros), '0');
  if (!bits) return digits;
  if (static_cast<int>(digits.size()) > *bits) return std::string(kBitSizeError);
  return std::string(static_cast<std::size_t>(*bits) - digits.size(), '0') + digits;
}

std::string BinarioAHex(std::string_view binary) {
  if (binary.find_first_not_of("01") != std::string_view::npos) {
    return std::string(kNotBinaryError);
  }
  std::string padded(binary);
  padded.insert(0, (4 - padded.size() % 4) % 4, '0');
  std::string out;
  for (std::size_t i = 0; i < padded.size(); i += 4) {
    int nibble = 0;
    for (std::size_t j = 0; j < 4; ++j) nibble = nibble * 2 + (padded[i + j] - '0');
    out += kHexDigits[nibble];
  }
  return out;
}

std::string DecimalAHex(double value) {
  if (TextOfDouble(value).size() >= 29) return "-1";
  return BinarioAHex(DecimalABinario(value));
}

bool TarjetaVigente(std::string_view yymm, Operator& op, const platform::CalendarDate& today) {
  bool valid = false;
  RunTrapped(op, [&] {
    const auto two_digits = [&](std::size_t at) {
      if (yymm.size() < at + 2 || !std::isdigit(static_cast<unsigned char>(yymm[at])) ||
          !std::isdigit(static_cast<unsigned char>(yymm[at + 1]))) {
        throw Failure("No coinciden los tipos");
      }
      return (yymm[at] - '0') * 10 + (yymm[at + 1] - '0');
    };
    const int year = two_digits(0);
    const int month = two_digits(2);
    const int current_year = today.year % 100;
    valid = year > current_year || (year == current_year && month >= today.month);
  });
  return valid;
}

bool TarjetaVigente(std::string_view yymm, Operator& op) {
  return TarjetaVigente(yymm, op, platform::LocalNow().date);
}

std::int16_t VerificaTrama(std::string_view raw, std::string_view codigo_hex, Operator& op) {
  std::int16_t result = 0;
  RunTrapped(op, [&] { result = CheckFrame(raw, "02" + std::string(codigo_hex)); });
  return result;
}

std::int16_t VerificaTramaOptimum(std::string_view raw, std::string_view /*codigo*/, Operator& op) {
  std::int16_t result = 0;
  RunTrapped(op, [&] { result = CheckFrame(raw, "02"); });
  return result;
}

}  // namespace tovalix::serial
