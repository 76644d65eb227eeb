// The table of PIN pad models. Each driver folder publishes one descriptor per model it drives
// (its descriptor.cpp); the control and port discovery look a model up here by the stored
// Tipo, and nowhere else is a model named. A new model is a new folder and one row in
// models.cpp.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "drivers/printer.hpp"
#include "drivers/sale_request.hpp"
#include "serial/port_discovery.hpp"
#include "serial/serial_link.hpp"

namespace tovalix::drivers {

struct ModelDescriptor {
  std::string_view tipo;              // the settings' Tipo, compared exactly (case matters)
  serial::PortNames ports;            // how port discovery finds its adapter
  serial::SerialLink::Format format;  // how its frames look on the serial link
  CapacidadImporte capacity;          // what its amount fields carry
  // True when the sale runs over our serial link; false when a vendor library owns the port.
  bool sale_over_link;
  // The card sale (the flow opens and closes the port itself).
  Dictionary (*sale)(EntornoVenta& entorno, const SolicitudVenta& solicitud);
  // The initialization's configuration step on the open link, already in `format`: the serial
  // number, or "" when the PIN pad gave none (the failing step has told the operator).
  std::string (*read_serial)(serial::SerialLink& link, Operator& op);
  // The terminal's own printer; nullptr for a model that has none.
  const Printer* printer = nullptr;
};

// Every model of this build, in a fixed order.
std::span<const ModelDescriptor* const> Models();

// The model stored as `tipo`; nullptr when this build has none.
const ModelDescriptor* FindModel(std::string_view tipo);

// The port names of `tipo`; none for a model this build does not know.
serial::PortNames PortNamesOf(std::string_view tipo);

}  // namespace tovalix::drivers
