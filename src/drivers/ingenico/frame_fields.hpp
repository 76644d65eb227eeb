// The pieces every Ingenico command frame is made of. Frames are written as compact hex text
// ("0243463100000337"); the callers turn them into bytes with HexATexto when they send them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// An amount as 12 packed decimal digits in cents: ten integer digits and two decimals, the
// decimals rounded half away from zero on the number's 15-digit decimal form. Throws Failure
// for amounts the field cannot hold (negative, not finite, 10,000,000,000.00 or more): the
// PIN pad must never be asked to read a corrupt amount.
std::string AmountDigits(double amount);

// "YYYYMMDD" and "HHMMSS" of a wall-clock time, placed in the frame as packed digits. Throws
// Failure when a field is out of its range.
std::string DateDigits(const platform::WallTime& now);
std::string TimeDigits(const platform::WallTime& now);

}  // namespace tovalix::drivers::ingenico
