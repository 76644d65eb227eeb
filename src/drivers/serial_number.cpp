#include "drivers/serial_number.hpp"

#include <cmath>
#include <string_view>

#include "common/error_report.hpp"
#include "common/number_text.hpp"

namespace tovalix::drivers {
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

}  // namespace

std::string ReadSerialNumber(serial::SerialLink& link, Operator& op, const std::string& request,
                             std::size_t offset, std::size_t length) {
  std::string serie;
  RunTrapped(op, [&] {
    if (link.EnviaRecibe(request, "") != 1) return;
    serie = NumeroDeSerie(link.BufferRecepcion(), offset, length);
    // The PIN pad answered, but not with a number: the initialization ends here, and says why.
    if (serie.empty()) op.MessageBox(std::string(kSinNumeroDeSerie), Operator::kPlain, "");
  });
  return serie;
}

}  // namespace tovalix::drivers
