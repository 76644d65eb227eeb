// The serial number of a Vx810 or a Nurit 293: the "06" request over the serial link, and the
// number read out of its answer at each model's place.
#include <cmath>
#include <string>
#include <string_view>

#include "common/error_report.hpp"
#include "common/number_text.hpp"
#include "drivers/vx810/venta_vx810.hpp"
#include "drivers/vx810/vx810.hpp"

namespace tovalix::drivers::vx810 {
namespace {

// `length` characters from `offset` after the first "06" of the answer, without "-", read as a
// number and written back in decimal. "" when the answer holds no "06" or no number there: an
// answer without a serial number must not pass for the serial number 0.
std::string NumeroDeSerie(std::string_view answer, std::size_t offset, std::size_t length) {
  const std::size_t at = answer.find("06");
  if (at == std::string_view::npos || at + offset >= answer.size()) return "";
  std::string digits(answer.substr(at + offset, length));
  std::erase(digits, '-');
  const double value = LeadingNumber(digits);
  if (!(value > 0) || !std::isfinite(value)) return "";
  return TextOfDouble(value);
}

constexpr std::string_view kSinNumeroDeSerie =
    "TOVALIX: La Pin Pad no entregó un número de serie válido (se leyó 0 o ningún número). "
    "Verifique el equipo.";

std::string Serie(serial::SerialLink& link, Operator& op, std::size_t offset, std::size_t length) {
  std::string serie;
  RunTrapped(op, [&] {
    // No answer code is expected: any whole frame with a right LRC is the answer.
    if (link.EnviaRecibe(Vx810().ArmaSimple("06"), "") != 1) return;
    serie = NumeroDeSerie(link.BufferRecepcion(), offset, length);
    // The PIN pad answered, but not with a number: the initialization ends here, and says why.
    if (serie.empty()) op.MessageBox(std::string(kSinNumeroDeSerie), Operator::kPlain, "");
  });
  return serie;
}

}  // namespace

std::string SerieVx810(serial::SerialLink& link, Operator& op) {
  return Serie(link, op, 7, 11);
}

std::string SerieNurit293(serial::SerialLink& link, Operator& op) {
  return Serie(link, op, 3, 15);
}

}  // namespace tovalix::drivers::vx810
