#include "drivers/ingenico/commands.hpp"

#include <cstdio>
#include <utility>

#include "common/error_report.hpp"
#include "common/failure.hpp"
#include "common/text_encoding.hpp"
#include "drivers/ingenico/answers.hpp"
#include "drivers/ingenico/frame_fields.hpp"
#include "drivers/ingenico/logo.hpp"
#include "serial/generales.hpp"

namespace tovalix::drivers::ingenico {
namespace {

// DSP modes: show a line, blank the display, load a logo, show the stored logo.
constexpr std::string_view kMostrarLinea = "13";
constexpr std::string_view kBorrarPantalla = "11";
constexpr std::string_view kCargarLogo = "FF";
constexpr std::string_view kLogoGuardado = "FE";

constexpr std::string_view kZeros32 =
    "0000000000000000000000000000000000000000000000000000000000000000";

// The 34 EMV objects IC0 asks a chip card for: 63 bytes after their length 00 3F.
constexpr std::string_view kTagsIC0 =
    "003F"
    "5F285F2A5F349F029F079F099F0D9F0E9F0F9F109F159F1A9F1C9F269F279F339F349F359F369F379F39"
    "9F419F169F1E9F215F259F019F039F53"
    "959C9A8284";

// The objects IC1 and Libera ask back from the card: 9 bytes after their length 00 09.
constexpr std::string_view kTagsIC1 = "00099F269F27959F369F41";

std::string OneByte(int value) {
  if (value < 0 || value > 0xFF) throw Failure("Longitud fuera de rango para el PIN pad");
  char text[4];
  std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value));
  return text;
}

// IC0's data: the message, the time stamp, the amount and tip fields, then the tag list.
std::string IC0Frame(const std::string& mensaje, const platform::WallTime& now,
                     const std::string& monto, const std::string& propina) {
  std::string data = HexOfBytes(DisplayBytes(mensaje));
  data += DateDigits(now);
  data += TimeDigits(now);
  data += monto;
  data += propina;
  data += "01";
  data += kZeros32;
  data += kTagsIC0;
  return BuildFrame(kCodigoIC0, data);
}

}  // namespace

Ingenico::Ingenico(Operator& op, platform::WallTime now) : op_(op), now_(now) {}

template <typename Build>
std::string Ingenico::Builder(Build&& build) {
  std::string frame;
  if (!RunTrappedShowOnly(op_, [&] { frame = std::forward<Build>(build)(); })) return "";
  return frame;
}

std::string Ingenico::RefreshLogo() {
  return Builder([] { return BuildFrame(kCodigoDSP, kLogoGuardado); });
}

std::string Ingenico::ObtenSerial() {
  return Builder([] { return BuildFrame(kCodigoCF1, ""); });
}

std::string Ingenico::RetireTarjeta(const std::string& vpMensaje) {
  return Builder([&] { return BuildFrame(kCodigoRMV, HexOfBytes(DisplayBytes(vpMensaje))); });
}

std::string Ingenico::CapturaEnPinPad(std::int16_t vpLon_Max, std::int16_t vpLon_Min) {
  return Builder([&] {
    return BuildFrame(kCodigoKBD, "5057" + OneByte(vpLon_Max) + OneByte(vpLon_Min) + "0101");
  });
}

std::string Ingenico::ObtenCVV2(const std::string& vpMensaje) {
  std::string typed;
  RunTrapped(op_, [&] { typed = ParseCvv2(vpMensaje); });
  return typed;
}

std::string Ingenico::ArmaMensaje(std::string& vpMensaje) {
  std::string line;
  std::string frame = Builder([&] {
    line = DisplayBytes(vpMensaje);
    return BuildFrame(kCodigoDSP, std::string(kMostrarLinea) + HexOfBytes(line));
  });
  if (!frame.empty()) vpMensaje = AnsiToUtf8(line);
  return frame;
}

std::string Ingenico::LimpiaPantalla() {
  return Builder([] {
    return BuildFrame(kCodigoDSP, std::string(kBorrarPantalla) + HexOfBytes(DisplayBytes("")));
  });
}

std::string Ingenico::ArmaLogo() {
  return Builder([] {
    const std::string bitmap(kLogoBitmap.begin(), kLogoBitmap.end());
    return BuildFrame(kCodigoDSP, std::string(kCargarLogo) + HexOfBytes(bitmap));
  });
}

std::int16_t Ingenico::VerificaRespuesta(std::string_view vpTrama, std::string_view vpIns) {
  return serial::VerificaTrama(vpTrama, vpIns, op_);
}

std::string Ingenico::IC0(Money vpMonto, Money vpPropina, const std::string& vpMensaje) {
  return Builder(
      [&] { return IC0Frame(vpMensaje, now_, AmountDigits(vpMonto), AmountDigits(vpPropina)); });
}

std::string Ingenico::IC0(double vpMonto, double vpPropina, const std::string& vpMensaje) {
  return Builder(
      [&] { return IC0Frame(vpMensaje, now_, AmountDigits(vpMonto), AmountDigits(vpPropina)); });
}

std::string Ingenico::IC1(std::string vpStatus, std::string vpCod, std::string vpAut) {
  return Builder([&] {
    // The status goes into the frame as it is written, so it must be exactly one hex byte.
    if (vpStatus.size() != 2 ||
        vpStatus.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos) {
      throw Failure("Estatus no válido para el PIN pad");
    }
    std::string data = vpStatus;
    data += HexOfBytes(Utf8ToAnsi(vpCod));
    data += HexOfBytes(Utf8ToAnsi(vpAut));
    data += DateDigits(now_);
    data += TimeDigits(now_);
    data += kZeros32;
    data += kTagsIC1;
    return BuildFrame(kCodigoIC1, data);
  });
}

std::string Ingenico::Libera() {
  return Builder([&] {
    // 02, then a byte 00 and six zero bytes where IC1 carries status, code and authorization.
    std::string data = "02";
    data += "00";
    data += "000000000000";
    data += DateDigits(now_);
    data += TimeDigits(now_);
    data += kZeros32;
    data += kTagsIC1;
    return BuildFrame(kCodigoIC1, data);
  });
}

std::string Ingenico::ConfigPinPad() {
  return Builder([] {
    std::string data = "0840";
    data += HexOfBytes("MXN");
    data += "D84004F8000010000000D84000A800E0F8C06000F0F040000000012000";  // 29 bytes
    data += "03";
    data += "781E1E";
    data += "0000000000000000";
    data += "FF";
    data += HexOfBytes(
        "Procesando ...  "
        "Inserte Tarjeta "
        "Ingrese PIN     "
        "Ultimo Intento  "
        "FIRM.ELECTRONICA   INCORRECTA   ");
    data += kZeros32;
    return BuildFrame(kCodigoCF0, data);
  });
}

std::optional<Dictionary> Ingenico::ObtenTracks(const std::string& vpInString,
                                                std::int16_t vpModo) {
  std::optional<Dictionary> tracks;
  RunTrapped(op_, [&] { tracks = ParseTracks(vpInString, vpModo); });
  return tracks;
}

Dictionary Ingenico::TagsValidos(std::string_view vpCadena) {
  TagsFound found;
  RunTrapped(op_, [&] { FilterTags(vpCadena, found); });
  Dictionary result;
  result.Add("EMV_Tags", std::move(found.emv_tags));
  result.Add("ARQC", std::move(found.arqc));
  result.Add("AID", std::move(found.aid));
  return result;
}

}  // namespace tovalix::drivers::ingenico
