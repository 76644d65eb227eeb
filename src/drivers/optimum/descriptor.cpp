// The Hypercom Optimum in the table of models.
#include "drivers/models.hpp"
#include "drivers/optimum/exchange.hpp"
#include "drivers/optimum/impresion.hpp"
#include "drivers/optimum/sale.hpp"

namespace tovalix::drivers::optimum {
namespace {

constexpr std::string_view kDevices[] = {"\\device\\Serial2", "\\device\\Serial3"};

}  // namespace

extern const ModelDescriptor kOptimumModel{
    "OPTIMUM", {kDevices, {}}, kFormat,       kCapacidadImporte,
    true,      &VentaOptimum,  &SerieOptimum, &kImpresoraOptimum};

}  // namespace tovalix::drivers::optimum
