// Money as whole centavos in an integer: made once from the host's doubles, then carried
// unchanged to every check, PIN pad frame, gateway text, journal line and voucher, so that
// the amount the cardholder approves is the amount charged.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tovalix {

class Money {
 public:
  // Twelve digits of centavos (9,999,999,999.99): the widest amount field any PIN pad has.
  static constexpr std::int64_t kMaxCentavos = 999'999'999'999;

  // Why a host's number is not an amount.
  enum class Fault { kNone, kNotFinite, kSubCentavo, kTooLarge };

  constexpr Money() = default;
  static constexpr Money FromCentavos(std::int64_t centavos) { return Money(centavos); }

  // A host's double is the whole centavo it lies within a millionth of a peso of
  // (10.1 * 3 = 30.299999999999997 is 30.30). Anything else is refused: not finite,
  // a fraction of a centavo (10.004), or more than kMaxCentavos either side of zero.
  static Fault CheckHost(double pesos);
  static std::optional<Money> FromHost(double pesos);

  // A decimal text of a peer ("150.5", " 150.50 ", "-3"): digits with an optional sign and
  // point, blanks around, held to the same rule as a host's double. nullopt otherwise.
  static std::optional<Money> Parse(std::string_view text);

  constexpr std::int64_t Centavos() const { return centavos_; }
  // Whole pesos, truncated toward zero, and whether any centavos remain.
  constexpr std::int64_t WholePesos() const { return centavos_ / 100; }
  constexpr bool HasCentavos() const { return centavos_ % 100 != 0; }
  // The value as a double, for hosts and interfaces that want one.
  double Pesos() const { return static_cast<double>(centavos_) / 100.0; }

  // The shortest decimal text: 150.5 -> "150.5", 150 -> "150", 0.05 -> "0.05", -2 -> "-2".
  std::string Text() const;
  // Always two decimals: 150.5 -> "150.50".
  std::string TextTwoDecimals() const;

  friend constexpr Money operator+(Money a, Money b) { return Money(a.centavos_ + b.centavos_); }
  friend constexpr auto operator<=>(Money, Money) = default;

 private:
  constexpr explicit Money(std::int64_t centavos) : centavos_(centavos) {}
  std::int64_t centavos_ = 0;
};

}  // namespace tovalix
