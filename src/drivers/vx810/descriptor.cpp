// The VeriFone Vx810 in the table of models.
#include "drivers/models.hpp"
#include "drivers/serial_number.hpp"
#include "drivers/vx810/commands.hpp"
#include "drivers/vx810/sale.hpp"

namespace tovalix::drivers::vx810 {
namespace {

constexpr std::string_view kDevices[] = {"\\device\\USBSER000", "\\device\\USBSER001",
                                         "\\device\\VFMX800Port0", "\\device\\VFMX800Port1"};

}  // namespace

std::string SerieVx810(serial::SerialLink& link, Operator& op) {
  return ReadSerialNumber(link, op, Vx810().ArmaSimple("06"), 7, 11);
}

extern const ModelDescriptor kVx810Model{"Vx810", {kDevices, {}}, kFormat,    kCapacidadImporte,
                                         true,    &VentaVx810,    &SerieVx810};

}  // namespace tovalix::drivers::vx810
