// The small conversions every PIN pad driver rests on. Byte strings are std::string holding one
// byte per char; three textual forms of them are used:
//   raw characters  "CF1"         what travels on the wire
//   compact hex     "434631"      how commands are written in the drivers
//   spaced hex      "43 46 31 "   how answers are handed to the parsers (a blank after each)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <tovalix/operator.hpp>

#include "platform/clock.hpp"

namespace tovalix::serial {

inline constexpr char kStx = 0x02;
inline constexpr char kEtx = 0x03;
inline constexpr char kEot = 0x04;
inline constexpr char kAck = 0x06;
inline constexpr char kNak = 0x15;
inline constexpr char kFs = 0x1C;

// Waits `seconds` on `clock`, letting the host's event loop run between short sleeps.
void Pausa(double seconds, Operator& op, const platform::Clock& clock);

// `text` with every "," removed.
std::string QuitaComas(std::string_view text);

// Exclusive-or of every byte of a frame body (STX and ETX excluded), then of ETX.
std::uint8_t CalculaLRC(std::string_view raw);

// Compact hex to raw bytes. Each pair becomes one byte; a pair is read as hex as far as it
// goes ("4X" is 4, "XX" is 0); an odd last digit becomes the byte of its single value.
std::string HexATexto(std::string_view hex);

// Removes every blank from `hex` (the caller's text keeps them removed), then HexATexto.
std::string HexATextoLimpio(std::string& hex);

// Raw bytes to spaced hex: two upper-case digits and a blank per byte; "" for "".
std::string TextoAHex(std::string_view raw);

// Spaced hex back to bytes, three characters at a time; each group, trimmed, is read as hex.
std::string HexBlancosATexto(std::string_view spaced);

// Value of `text` in `base` over the digit alphabet 0-9, A-H, I, O (any other character counts
// -1). Throws Failure when the value leaves the 16-bit range.
std::int16_t BaseAEntero(std::string_view text, std::uint8_t base);

inline constexpr std::string_view kBitSizeError = "Error - Number exceeds specified bit size";
inline constexpr std::string_view kNotBinaryError = "Error - Argument not a binary string";

// Binary digits of the integer part of `value` ("" for 0); with `bits`, padded to that many
// digits, or kBitSizeError when it needs more. Throws Failure when `value` is negative or
// beyond the range of a 96-bit integer.
std::string DecimalABinario(double value, std::optional<int> bits = std::nullopt);

// Upper-case hex digits of a binary text (padded on the left to whole nibbles), or
// kNotBinaryError when it holds anything but 0 and 1.
std::string BinarioAHex(std::string_view binary);

// BinarioAHex(DecimalABinario(value)), or "-1" when the value's text has 29 characters or more.
std::string DecimalAHex(double value);

// True while a card whose expiry is `yymm` is valid on `today`: its year is later, or the same
// and its month is not earlier. No century window. A text that is not four digits fails
// through the common error report and yields false.
bool TarjetaVigente(std::string_view yymm, Operator& op, const platform::CalendarDate& today);
bool TarjetaVigente(std::string_view yymm, Operator& op);

// 1 when `raw` is a whole Ingenico/VeriFone frame for the command `codigo_hex` (compact hex)
// with a correct LRC, else 0. The frame is found as "02" + code anywhere in the hex digits;
// its second-to-last byte must be ETX and its last byte the LRC.
std::int16_t VerificaTrama(std::string_view raw, std::string_view codigo_hex, Operator& op);

// The same check for the Hypercom Optimum: the body starts after the first "02".
std::int16_t VerificaTramaOptimum(std::string_view raw, std::string_view codigo, Operator& op);

}  // namespace tovalix::serial
