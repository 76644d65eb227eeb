// The command set of the Ingenico 3070 and iPP320 PIN pads, which speak the same framed
// protocol: STX, three command letters, two length bytes, data, ETX, LRC. Each builder returns
// its frame as compact hex; the caller sends it (EnviaComando / EnviaRecibe) and hands the
// answers back to the parsers. No I/O and no state beyond the operator and the time stamped
// into IC0, IC1 and Libera, so one object may build any number of frames.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "common/money.hpp"
#include "platform/clock.hpp"

namespace tovalix::drivers::ingenico {

// Command codes in compact hex; the callers also use them as the expected answer code.
inline constexpr std::string_view kCodigoCF1 = "434631";
inline constexpr std::string_view kCodigoCF0 = "434630";
inline constexpr std::string_view kCodigoRMV = "524D56";
inline constexpr std::string_view kCodigoKBD = "4B4244";
inline constexpr std::string_view kCodigoDSP = "445350";
inline constexpr std::string_view kCodigoIC0 = "494330";
inline constexpr std::string_view kCodigoIC1 = "494331";

// Serves both INGENICO3070 and IPP320 (RefreshLogo is offered to hosts by IPP320 only).
//
// A builder that meets a failure (an amount the frame cannot hold, a status that is not one
// hex byte, ...) shows the failure in a plain box and returns "": never a corrupt frame. The
// parsers report a failure with the box and the log line.
class Ingenico {
 public:
  // `now` is the date and time stamped into IC0, IC1 and Libera.
  Ingenico(Operator& op, platform::WallTime now);

  // DSP FE: show the stored logo again.
  std::string RefreshLogo();
  // CF1: serial number request.
  std::string ObtenSerial();
  // RMV: ask for the card to be removed while showing `vpMensaje`.
  std::string RetireTarjeta(const std::string& vpMensaje);
  // KBD: a keyboard entry of `vpLon_Min` to `vpLon_Max` characters; each length is one byte,
  // so a value outside 0..255 is refused.
  std::string CapturaEnPinPad(std::int16_t vpLon_Max, std::int16_t vpLon_Min);
  // The typed value of a KBD answer (spaced hex) as spaced hex, without its first byte.
  std::string ObtenCVV2(const std::string& vpMensaje);
  // DSP 13: show a 32-character line; `vpMensaje` comes back as that line.
  std::string ArmaMensaje(std::string& vpMensaje);
  // DSP 11: blank the display.
  std::string LimpiaPantalla();
  // DSP FF: the 512-byte logo.
  std::string ArmaLogo();
  // 1 when `vpTrama` (raw bytes) is a complete frame for the command `vpIns` with a correct
  // LRC, else 0.
  std::int16_t VerificaRespuesta(std::string_view vpTrama, std::string_view vpIns);
  // IC0: start a card reading for an amount and a tip, showing `vpMensaje`. A host's doubles
  // are held to the rule of Money::FromHost: no frame for a fraction of a centavo.
  std::string IC0(Money vpMonto, Money vpPropina, const std::string& vpMensaje);
  std::string IC0(double vpMonto, double vpPropina, const std::string& vpMensaje);
  // IC1: hand the authorization outcome to a chip card. `vpStatus` is one byte in hex ("00"
  // or "01"); `vpCod` and `vpAut` are written one byte per character.
  std::string IC1(std::string vpStatus, std::string vpCod, std::string vpAut);
  // IC1 that ends the card session without an authorization.
  std::string Libera();
  // CF0: the PIN pad's fixed configuration.
  std::string ConfigPinPad();
  // The tracks dictionary of an IC0 answer (spaced hex); nullopt after a failure (an answer
  // cut short, a length that is not hex), which is reported.
  std::optional<Dictionary> ObtenTracks(const std::string& vpInString, std::int16_t vpModo);
  // EMV_Tags, ARQC and AID of EMV data (hex, blanks allowed). After a failure, reported, the
  // dictionary holds what was found before it.
  Dictionary TagsValidos(std::string_view vpCadena);

 private:
  // Runs a builder; a failure shows its box and gives "".
  template <typename Build>
  std::string Builder(Build&& build);

  Operator& op_;
  platform::WallTime now_;
};

}  // namespace tovalix::drivers::ingenico
