#include "common/money.hpp"

#include <charconv>
#include <cmath>

#include "common/number_text.hpp"

namespace tovalix {
namespace {

// A millionth of a peso, in centavos.
constexpr long double kTolerance = 1e-4L;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

Money::Fault Money::CheckHost(double pesos) {
  if (!std::isfinite(pesos)) return Fault::kNotFinite;
  // A double times 100 is exact in the 64-bit mantissa of a long double, so the distance to
  // the nearest centavo is measured without a rounding of its own.
  const long double centavos = static_cast<long double>(pesos) * 100.0L;
  if (std::fabs(centavos) > static_cast<long double>(kMaxCentavos) + kTolerance) {
    return Fault::kTooLarge;
  }
  if (std::fabs(centavos - std::nearbyint(centavos)) > kTolerance) return Fault::kSubCentavo;
  return Fault::kNone;
}

std::optional<Money> Money::FromHost(double pesos) {
  if (CheckHost(pesos) != Fault::kNone) return std::nullopt;
  return Money(std::llround(static_cast<long double>(pesos) * 100.0L));
}

std::optional<Money> Money::Parse(std::string_view text) {
  const std::string_view core = TrimBlanks(text);
  std::size_t i = (!core.empty() && (core[0] == '+' || core[0] == '-')) ? 1 : 0;
  std::size_t digits = 0;
  bool point = false;
  for (; i < core.size(); ++i) {
    if (IsDigit(core[i])) {
      ++digits;
    } else if (core[i] == '.' && !point) {
      point = true;
    } else {
      return std::nullopt;  // exponents, separators and letters are no amount of money
    }
  }
  if (digits == 0 || digits > 40) return std::nullopt;
  // from_chars reads a point whatever the process's locale says (strtod would not), and no
  // leading "+".
  const std::string_view number = core[0] == '+' ? core.substr(1) : core;
  double pesos = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), pesos);
  if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
  return FromHost(pesos);
}

std::string Money::TextTwoDecimals() const {
  const std::int64_t magnitude = centavos_ < 0 ? -centavos_ : centavos_;
  std::string text = centavos_ < 0 ? "-" : "";
  text += std::to_string(magnitude / 100);
  text += '.';
  text += static_cast<char>('0' + magnitude % 100 / 10);
  text += static_cast<char>('0' + magnitude % 10);
  return text;
}

std::string Money::Text() const {
  std::string text = TextTwoDecimals();
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

}  // namespace tovalix
