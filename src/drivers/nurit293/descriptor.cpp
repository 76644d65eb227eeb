// The Nurit 293 in the table of models.
#include "drivers/models.hpp"
#include "drivers/nurit293/commands.hpp"
#include "drivers/nurit293/sale.hpp"
#include "drivers/serial_number.hpp"
#include "serial/generales.hpp"

namespace tovalix::drivers::nurit293 {
namespace {

constexpr std::string_view kDevices[] = {"\\device\\slabser0", "\\device\\slabser1",
                                         "\\device\\USBSER000", "\\device\\USBSER001"};

// The vendor library opens COM1 to COM9 only.
constexpr std::string_view kAboveCom9Warning =
    "LOS EQUIPOS NURIT293 DEBEN TENER UN COM MENOR O IGUAL A 9 ASIGNADO O DE LO CONTRARIO TIENEN "
    "PROBLEMAS DE COMUNICACION Y SE DETECTO QUE EL COM ASIGNADO A SU EQUIPO NURIT ES EL ";

// STX "06" ETX LRC.
std::string SerialRequest() {
  std::string frame(1, serial::kStx);
  frame += "06";
  frame += serial::kEtx;
  frame += static_cast<char>(serial::CalculaLRC("06"));
  return frame;
}

}  // namespace

std::string SerieNurit293(serial::SerialLink& link, Operator& op) {
  return ReadSerialNumber(link, op, SerialRequest(), 3, 15);
}

extern const ModelDescriptor kNurit293Model{
    "NURIT293",    {kDevices, kAboveCom9Warning}, kFormat, kCapacidadImporte, false, &VentaNurit293,
    &SerieNurit293};

}  // namespace tovalix::drivers::nurit293
