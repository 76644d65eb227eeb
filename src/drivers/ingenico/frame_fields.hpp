// The pieces every Ingenico command frame is made of. Frames are written as compact hex text
// ("0243463100000337"); the callers turn them into bytes with HexATexto when they send them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/money.hpp"
#include "platform/clock.hpp"

namespace tovalix::drivers::ingenico {

// The whole frame for a command code and its data, both compact hex: "02", code, the data's
// byte count as four hex digits, data, "03", then the LRC of code, length and data in
// upper-case hex without a leading zero (an LRC below 16 is one digit, and HexATexto turns
// that single last digit into the same byte). Throws Failure when the data is not whole bytes
// of hex or is longer than the length field can say.
std::string BuildFrame(std::string_view code_hex, std::string_view data_hex);

// Compact upper-case hex of raw bytes.
std::string HexOfBytes(std::string_view bytes);

// A display line: the UTF-8 text in Windows-1252, padded with blanks or cut to 32 characters.
std::string DisplayBytes(std::string_view utf8_text);

// What the amount fields carry: ten integer digits and two decimals.
inline constexpr std::int64_t kMaxAmountCentavos = 999'999'999'999;

// An amount as 12 packed decimal digits in centavos. Throws Failure for amounts the field
// cannot hold (negative or above kMaxAmountCentavos): the PIN pad must never be asked to read
// a corrupt amount.
std::string AmountDigits(Money amount);
// The same for a host's double, held to the rule of Money::FromHost first: an amount that is
// not finite or carries a fraction of a centavo is refused too, never rounded.
std::string AmountDigits(double amount);

// "YYYYMMDD" and "HHMMSS" of a wall-clock time, placed in the frame as packed digits. Throws
// Failure when a field is out of its range.
std::string DateDigits(const platform::WallTime& now);
std::string TimeDigits(const platform::WallTime& now);

}  // namespace tovalix::drivers::ingenico
