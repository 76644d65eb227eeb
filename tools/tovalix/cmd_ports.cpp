// `tovalix ports`: the serial device map and the port each PIN pad model would get. The
// integrator's first look when a PIN pad is not found; nothing is opened, no box is popped.
#include <cstdio>
#include <memory>
#include <string>

#include "commands.hpp"
#include "common/failure.hpp"
#include "device_map_option.hpp"
#include "drivers/models.hpp"
#include "platform/device_map.hpp"
#include "serial/port_discovery.hpp"

namespace tovalix::cli {
namespace {

struct PortsOptions {
  std::string map_option;
  std::string model;
};

int ShowPorts(const PortsOptions& options) {
  std::unique_ptr<platform::DeviceMap> map = DeviceMapFromOption(options.map_option);
  if (!map) map = platform::SystemDeviceMap();
  std::printf("Device map (%s):\n", map->Source().c_str());
  try {
    const auto entries = map->Entries();
    if (entries.empty()) std::printf("  (empty)\n");
    for (const auto& entry : entries) {
      std::printf("  %s\t%s\n", entry.device.c_str(), entry.port.c_str());
    }
  } catch (const Failure& failure) {
    std::printf("  %s\n", failure.what());
    return 1;
  }

  std::printf("Port by model:\n");
  for (const drivers::ModelDescriptor* descriptor : drivers::Models()) {
    const std::string model(descriptor->tipo);
    if (!options.model.empty() && options.model != model) continue;
    const serial::EleccionPuerto choice = serial::EligePuerto(descriptor->ports, *map);
    std::string tried;
    for (const auto& name : choice.tried) tried += (tried.empty() ? "" : ", ") + name;
    std::printf("  %s\t%s\t(tried %s)\n", model.c_str(),
                choice.port.empty() ? "-" : choice.port.c_str(), tried.c_str());
    if (!choice.failure.empty()) std::printf("    %s\n", choice.failure.c_str());
    if (!choice.warning.empty()) std::printf("    %s\n", choice.warning.c_str());
    if (choice.not_found) std::printf("    %s\n", std::string(serial::kPuertoNoDefinido).c_str());
  }
  return 0;
}

}  // namespace

void RegisterPorts(CLI::App& app, Run& run) {
  auto options = std::make_shared<PortsOptions>();
  CLI::App* command = app.add_subcommand(
      "ports",
      "Print the serial device map (from $TOVALIX_DEVICE_MAP, else the system's) and the port each "
      "PIN pad model would use");
  AddDeviceMapOption(*command, options->map_option);
  command->add_option("--model", options->model, "Only this model")
      ->check(CLI::IsMember({"INGENICO3070", "IPP320", "Vx810", "NURIT293", "OPTIMUM"}));
  command->callback([options, &run] {
    try {
      run.exit_status = ShowPorts(*options);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "%s\n", error.what());
      run.exit_status = 1;
    }
  });
}

}  // namespace tovalix::cli
