#include "gateway/timeout.hpp"

#include <cmath>
#include <optional>

#include "common/number_text.hpp"

namespace tovalix::gateway {
namespace {

std::optional<std::int32_t> Segundos(std::string_view texto) {
  const std::optional<double> numero = ParseNumber(texto);
  if (!numero || !(*numero >= 1 && *numero <= kTiempoMaximoSegundos) ||
      std::trunc(*numero) != *numero) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(*numero);
}

}  // namespace

bool TiempoUtilizable(std::string_view seconds) {
  return Segundos(seconds).has_value();
}

std::int32_t TimeoutMilliseconds(std::string_view seconds) {
  return Segundos(seconds).value_or(kTiempoMaximoSegundos) * 1000;
}

}  // namespace tovalix::gateway
