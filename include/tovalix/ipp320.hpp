// The Ingenico iPP320 command set for hosts that drive the PIN pad themselves: each method
// returns a command frame as compact hex text, or checks or parses an answer. The class opens
// no port and keeps no state between calls.
//
// How a host takes a card: ArmaLogo; IC0 and its answer (checked with VerificaRespuesta
// against "494330", parsed with ObtenTracks after turning the received bytes into spaced hex:
// two upper-case digits and a blank per byte); the gateway; for a chip card IC1 (answer code
// "494331"), LimpiaPantalla and RetireTarjeta (answer code "524D56"); ArmaLogo at the end.
// The PIN pad acknowledges each frame it receives correctly with ACK (06); the host
// acknowledges each correct answer with ACK and a wrong one with NAK (15).
//
// To send a frame, read its text as pairs of hex digits; a single last digit is the LRC byte.
// Texts are UTF-8; the PIN pad receives them in Windows-1252.
#pragma once

#include <tovalix/export.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

namespace tovalix {

class TOVALIX_EXPORT IPP320 {
 public:
  // Failures are shown through a StderrOperator.
  IPP320();
  // Failures are shown through `op`, which must outlive the object.
  explicit IPP320(Operator& op);
  ~IPP320();
  IPP320(IPP320&&) noexcept;
  IPP320& operator=(IPP320&&) noexcept;
  IPP320(const IPP320&) = delete;
  IPP320& operator=(const IPP320&) = delete;

  // Frame that makes the PIN pad show its stored logo again.
  std::string RefreshLogo();
  // Frame asking for the serial number (CF1).
  std::string ObtenSerial();
  // Frame asking for the card to be removed while showing `vpMensaje` (32 characters shown).
  std::string RetireTarjeta(const std::string& vpMensaje);
  // Frame for a keyboard entry of `vpLon_Min` to `vpLon_Max` characters (each 0 to 255).
  std::string CapturaEnPinPad(std::int16_t vpLon_Max, std::int16_t vpLon_Min);
  // The typed bytes of a keyboard answer given as spaced hex, as spaced hex ("" if none).
  std::string ObtenCVV2(const std::string& vpMensaje);
  // Frame showing `vpMensaje`; `vpMensaje` comes back as the 32-character line shown.
  std::string ArmaMensaje(std::string& vpMensaje);
  // Frame that blanks the display.
  std::string LimpiaPantalla();
  // Frame carrying the 128 x 32 logo.
  std::string ArmaLogo();
  // 1 when `vpTrama` (the received bytes) ends with ETX and a correct LRC and holds STX
  // followed by the command `vpIns` (compact hex, e.g. "494330"); else 0.
  std::int16_t VerificaRespuesta(std::string_view vpTrama, std::string_view vpIns);
  // Frame starting a card reading for an amount and a tip (each 0 to 9,999,999,999.99),
  // showing `vpMensaje`; the current local date and time go into the frame. Each must lie
  // within a millionth of a peso of a whole centavo (10.1 * 3 is 30.30): a fraction of a
  // centavo (10.004) builds no frame, never a rounded one.
  std::string IC0(double vpMonto, double vpPropina, const std::string& vpMensaje);
  // Frame handing the authorization outcome to the chip card: `vpStatus` "00" approved or
  // "01" declined, `vpCod` the response code, `vpAut` the authorization number.
  std::string IC1(std::string vpStatus, std::string vpCod, std::string vpAut);
  // Frame ending the card session without an authorization.
  std::string Libera();
  // Frame with the PIN pad's fixed configuration (CF0).
  std::string ConfigPinPad();
  // The tracks of an IC0 answer (spaced hex): ServiceCode, Track1, Track2, Status, EMV_Tags,
  // ARQC, AID, Exp; every value empty when the text holds no IC0 answer. `vpModo` is 3 for the
  // answer of a fallback reading, 0 otherwise. nullopt when the answer is cut short or
  // malformed (the failure is shown and logged).
  std::optional<Dictionary> ObtenTracks(const std::string& vpInString, std::int16_t vpModo);
  // EMV_Tags, ARQC and AID of EMV data given as hex (blanks allowed).
  Dictionary TagsValidos(std::string vpCadena);

 private:
  std::unique_ptr<Operator> own_operator_;
  Operator* op_;
};

}  // namespace tovalix
