// A terminal set up on disk for control tests: a scratch settings file, device map and log
// folder, with the stored parameters written through the real settings writer. And the bench
// the serial sale flows share: the same scratch folder, a fast clock, a real link and the
// simulated gateway on 127.0.0.1.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "drivers/sale_request.hpp"
#include "platform/clock.hpp"
#include "serial/serial_link.hpp"
#include "settings/parametros.hpp"
#include "support/test_environment.hpp"

namespace tovalix::testing {

class TerminalFixture {
 public:
  TerminalFixture();

  // Stores the parameters of an initialized terminal (model `tipo`, stores `stores`), then
  // applies `overrides` ("param3" -> "", ...). Returns false if a write failed.
  bool Initialize(const std::string& tipo, const std::string& stores,
                  const std::map<std::string, std::string>& overrides = {});

  // Maps the device name to the port in the device map table file.
  void MapDevice(const std::string& device, const std::string& port);

  const ScratchFolder& folder() const { return folder_; }
  std::string LogText() const { return ReadFile(folder_ / "tovalix.log"); }

 private:
  ScratchFolder folder_;
  ScopedEnv settings_;
  ScopedEnv device_map_;
  ScopedEnv log_dir_;
  std::string map_text_;
};

// What every serial sale flow test sets up; the model's suite adds its simulated PIN pad, the
// settings and the request. `Gateway` is sim::GatewaySimulator: a parameter, so that the
// suites which link no simulator can include this header.
template <class Gateway>
class FlowBench {
 protected:
  // The sale's environment on this bench, for the model's own sale procedure.
  drivers::EntornoVenta Entorno() {
    return drivers::EntornoVenta{link, parametros, puerto, modo_entrada, op, clock};
  }
  // Whatever happened, the flow must have let go of the port.
  Dictionary Finished(Dictionary result) {
    EXPECT_FALSE(link.EstaAbierto()) << "the port was left open";
    EXPECT_FALSE(link.LectorActivo()) << "the reader was left on";
    return result;
  }
  // The one sale posted to the gateway.
  auto Posted() const {
    const auto requests = gateway.Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? typename decltype(requests)::value_type{} : requests.front();
  }

  ScratchFolder logs;
  ScopedEnv log_dir{"TOVALIX_LOG_DIR", logs.path().string()};
  ScopedEnv settings_file{"TOVALIX_SETTINGS", (logs / "PinPad.ini").string()};
  RecordingOperator op;
  platform::FastClock clock{50};
  serial::SerialLink link{op, clock};
  Gateway gateway;
  settings::Parametros parametros;
  std::string puerto;
  std::int16_t modo_entrada = 0;
};

}  // namespace tovalix::testing
