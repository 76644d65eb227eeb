// The VeriFone Vx810 PIN pad's command set: frame builders and answer parsers over bytes, with
// no I/O and no state between calls. The sale flow sends the frames over the serial link and
// hands the answers back here as spaced hex ("02 43 33 30 ...", see serial/generales.hpp).
//
// Two frame shapes:
//   text commands  STX, text, ETX, LRC                         ("I02", "72", "C23", "Z2", ...)
//   chip commands  STX, "C3x", two length bytes, data, ETX, LRC  (C30, C31, C34)
// Frames are byte strings (one byte per char). Display texts are UTF-8 here and travel as
// Windows-1252. Parsed texts come back as UTF-8 (answer bytes taken by their Unicode value).
//
// A run-time failure ends an operation silently with what it holds: a builder returns "", a
// parser its dictionary with every key and the values gathered before the failure.
#pragma once

#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>

#include "common/money.hpp"
#include "platform/clock.hpp"

namespace tovalix::drivers::vx810 {

// What an amount field of C31 carries: four bytes of centavos (42,949,672.95).
inline constexpr std::int64_t kMaxCentavos = 0xFFFF'FFFF;

class Vx810 {
 public:
  // STX, the command text, ETX, LRC. ArmaSimple("72") is 02 37 32 03 06.
  std::string ArmaSimple(std::string_view comando) const noexcept;

  // The display command: STX, "Z2", 0x1A, the message, ETX, LRC.
  std::string ArmaMensaje(std::string_view mensaje) const noexcept;

  // "Q40": enables the stripe reader.
  std::string HabilitaLecturaBanda() const noexcept;

  // "Z62": PIN capture with its fixed key field and prompts.
  std::string CapturaEnPinPad() const noexcept;

  // Card read: data C1 01 15, C1 01 01, C1 03 DD MM YY, C1 03 HH MM SS stamped from `ahora`
  // (decimal digits sent as hex pairs). The amount and tip are not sent. "" when `ahora` is not
  // a real date and time.
  std::string C30(Money monto, Money propina, const platform::WallTime& ahora) const noexcept;

  // Chip data request: amount and tip in cents (four bytes each, high first), currency 484
  // and the list of the 35 EMV tags wanted. "" for an amount or tip that is negative or
  // beyond the four bytes (kMaxCentavos).
  std::string C31(Money monto, Money propina) const noexcept;

  // Chip completion: C1 <n> <code bytes> E1 00. `codigo` is spaced hex ("30 30 ", or "00");
  // the length byte and the frame length count the bytes sent, blanks excluded.
  std::string C34(std::string_view codigo) const noexcept;

  // Reads a C30 (swipe), C33 (chip data) or C31 answer given as spaced hex. Keys, in order:
  // ServiceCode, Track1, AutCode, Track2, Status, Exp, EMV_Tags, ARQC, AID.
  Dictionary ObtenTrack(std::string_view respuesta) const noexcept;

  // Reads the stripe answer to "Q40" given as spaced hex. Keys, in order: Track1, Exp,
  // ServiceCode, Track2, ErrorTrama ("" or "Trama Incorrecta"), Status ("21"), EMV_Tags ("").
  Dictionary ObtenTracksBanda(std::string_view respuesta) const noexcept;

  // Filters an EMV tag text (hex digits, blanks allowed) through the 36-row tag table. Keys:
  // EMV_Tags (the copied elements in table order), ARQC (value of 9F26), AID (value of 84).
  Dictionary TagsValidos(std::string_view tags) const noexcept;
};

}  // namespace tovalix::drivers::vx810
