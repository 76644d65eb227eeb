// The Hypercom Optimum's command set: frame builders and answer parsers, and the print texts of
// its printer. Nothing here touches a port; the sale flow sends the frames and hands the
// answers back. The class holds no state.
//
// Frames: STX, three ASCII digits with the message's length, the message (command and fields;
// every field after the first is preceded by FS), ETX, LRC over the length and the message.
// A frame comes back as std::string with one byte per char, ready for the serial link. Texts
// handed in are UTF-8 and go to the terminal as Windows-1252.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>

#include "common/money.hpp"
#include "platform/clock.hpp"

namespace tovalix::drivers::optimum {

class OPTIMUM {
 public:
  // "C52"; A: first character of i1's decimal text; B, C: i2 and i3 as their last two
  // characters after "00"; D: t. Empty when the frame cannot be built.
  std::string C52(std::int16_t i1, std::int16_t i2, std::int16_t i3, std::string_view t) const;

  // The card request: "C54" with the prompt, the date (DDMMYY) and time (HHMM) of `ahora` in
  // BCD, amount and tip as twelve BCD digits, and the fixed fields F 04 84, G 00, H 00.
  // A whole amount goes in as its digits (125 gives 00 00 00 00 01 25). An amount the field
  // cannot carry (centavos, negative, more than twelve digits) gives the empty text: no frame
  // rather than a frame with a decimal point inside its BCD bytes. The caller must not send an
  // empty frame.
  std::string C54(Money monto, Money propina, const platform::WallTime& ahora) const;

  // The chip result: "C54"; A "00"; B "00" when `codigo` is "00", otherwise "01".
  std::string Notify(std::string_view codigo) const;

  // "C53"; A "DESLICE TARJETA".
  std::string C53() const;

  // "C57" without fields: asks for the terminal's serial number (answer "P57A").
  std::string C57() const;

  // "C50"; A: a message for the terminal's display. Empty when the text is too long for the
  // three length digits.
  std::string ArmaMensaje(std::string_view texto) const;

  // "C58"; A: the text. Empty when the text is too long for the three length digits.
  std::string C58(std::string_view texto) const;

  // Reads the terminal's P54 answer, given as spaced hex ("50 35 34 41 ..."), into a
  // dictionary with Track1, Track2, PosEntryMode ("0" to "3"), EMV_Tags, ARQC, AID, Exp and
  // ServiceCode, in this order. Survives any input; an answer without "P54A" gives empty
  // fields and PosEntryMode "0".
  Dictionary ObtenTrack(std::string_view respuesta) const;

  // Rewrites the terminal's EMV text (hex digits; each tag followed by two decimal digits
  // counting the hex characters of its value) as the gateway wants it: the elements of the
  // tag table in table order, each with a one-byte hex length. Dictionary: EMV_Tags, ARQC
  // (value of 9F26), AID (value of 84). Survives any input.
  Dictionary TagsValidos(std::string_view tags) const;

  // Operation codes of Imprime.
  static constexpr std::int16_t kTarjetaRegalo = 1;
  static constexpr std::int16_t kTiempoAire = 2;
  static constexpr std::int16_t kRemesa = 4;
  static constexpr std::int16_t kPagoTarjeta = 11;
  static constexpr std::int16_t kCorresponsal = 22;

  // The print text of a voucher ("<vxv>" ... "</vxv>", segments ending in CR LF) as
  // Windows-1252 bytes, sent to the terminal unframed. `etiqueta` is the copy label
  // ("COPIA CLIENTE", "COPIA CAJERO", "TICKET UNICO"); `operacion` picks the layout: 11 card
  // payment, 1 gift card, 22 counter service. A missing key prints as empty text. Other
  // operations have no layout and give the empty text.
  std::string Imprime(const Dictionary& datos, std::string_view etiqueta, std::int16_t operacion,
                      const platform::WallTime& ahora) const;

  // The print text of a sales ticket. `datos` holds Razon, Dir1, Dir2, Dir3, Tel, Folio and
  // Total. Every entry of `articulos` ("description,quantity,unit price") and of `pagos`
  // ("concept,amount") is printed, in order.
  // An article whose quantity or unit price is not a number, or an entry without its commas,
  // makes the ticket unbuildable: the empty text.
  std::string ImprimePuntoVenta(const Dictionary& datos, std::span<const std::string> articulos,
                                std::span<const std::string> pagos,
                                const platform::WallTime& ahora) const;
};

}  // namespace tovalix::drivers::optimum
