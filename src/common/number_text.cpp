#include "common/number_text.hpp"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "common/failure.hpp"

namespace tovalix {
namespace {

bool IsDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Length of a number (sign, digits, point, exponent) at the start of `text`, 0 when none.
std::size_t NumberLength(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    const std::size_t exponent_start = j;
    while (j < text.size() && IsDigit(text[j])) ++j;
    if (j > exponent_start) i = j;
  }
  return i;
}

double ToDouble(std::string_view number) {
  const std::string copy(number);
  return std::strtod(copy.c_str(), nullptr);
}

}  // namespace

std::string TextOfDouble(double value) {
  if (value == 0) return "0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  std::string text(buffer);
  const std::size_t exponent = text.find('E');
  std::string mantissa = text.substr(0, exponent);
  if (mantissa.find('.') != std::string::npos) {
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
  }
  if (exponent == std::string::npos) return mantissa;
  // "E+020" style exponents become "E+20"; at least two digits are kept.
  std::string sign = text.substr(exponent + 1, 1);
  std::string digits = text.substr(exponent + 2);
  while (digits.size() > 2 && digits.front() == '0') digits.erase(0, 1);
  return mantissa + "E" + sign + digits;
}

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string_view TrimWhiteSpace(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

std::optional<double> ParseNumber(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::nullopt;
  const std::size_t last = text.find_last_not_of(" \t");
  const std::string_view core = text.substr(first, last - first + 1);
  if (NumberLength(core) != core.size()) return std::nullopt;
  return ToDouble(core);
}

double LeadingNumber(std::string_view text) {
  std::string compact;
  for (const char c : text) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') compact += c;
  }
  const std::size_t length = NumberLength(compact);
  return length == 0 ? 0.0 : ToDouble(std::string_view(compact).substr(0, length));
}

std::int32_t RoundToLong(double value) {
  const double rounded = std::nearbyint(value);  // the default mode rounds halves to even
  if (!std::isfinite(rounded) || rounded < std::numeric_limits<std::int32_t>::min() ||
      rounded > std::numeric_limits<std::int32_t>::max()) {
    throw Failure("Desbordamiento");
  }
  return static_cast<std::int32_t>(rounded);
}

std::int32_t ToLong(std::string_view text) {
  const auto number = ParseNumber(text);
  if (!number) throw Failure("No coinciden los tipos");
  return RoundToLong(*number);
}

std::int16_t ToInteger(std::string_view text) {
  const std::int32_t value = ToLong(text);
  if (value < std::numeric_limits<std::int16_t>::min() ||
      value > std::numeric_limits<std::int16_t>::max()) {
    throw Failure("Desbordamiento");
  }
  return static_cast<std::int16_t>(value);
}

}  // namespace tovalix
