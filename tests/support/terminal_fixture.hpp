// A terminal set up on disk for control tests: a scratch settings file, device map and log
// folder, with the stored parameters written through the real settings writer. And the bench
// the serial sale flows share.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

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

// The entries of `all` from `from` on, joined by `separator`: what one sale added to a list a
// simulator keeps, written in a test's row as one text.
inline std::string Since(const std::vector<std::string>& all, std::size_t from,
                         const char* separator = " ") {
  std::string joined;
  for (std::size_t i = from; i < all.size(); ++i) joined += (i > from ? separator : "") + all[i];
  return joined;
}

// What every serial sale flow test sets up once: a scratch folder for the log and settings, a
// fast clock, a real link, the simulated gateway, a merchant's settings and the sale's
// request. The model's suite adds its simulated PIN pad, its `Tipo` and the port. `Gateway` is
// sim::GatewaySimulator: a parameter, so that the suites which link no simulator can include
// this header.
template <class Gateway>
class FlowBench {
 protected:
  using Flow = Dictionary (*)(drivers::EntornoVenta&, const drivers::SolicitudVenta&);

  FlowBench() {
    parametros.IdStore = "5,17";
    parametros.PTid = "4711";
    parametros.UrlGateway = gateway.Url();
    parametros.Descripcion = "ABARROTES LA PRUEBA";
    parametros.Direccion1 = "AV. SIEMPRE VIVA 742";
    parametros.Direccion2 = "CENTRO CP.06000";
    parametros.Direccion3 = "CIUDAD DE MEXICO,CDMX";
    parametros.Rfc = "XAXX010101000";
    parametros.Telefono = "5555555555";
    parametros.TimeOutCreditDebit = "10";
  }

  static drivers::SolicitudVenta Venta(double pesos) {
    drivers::SolicitudVenta s;
    s.ID_Store = 5;
    s.Amount = s.Total = Money::FromHost(pesos).value();
    s.ID_Transaction = 8001;
    s.Operation_Type = 1;
    s.ID_Client_Tx = 31;
    s.ID_Server_Tx = 32;
    s.TimeOut = "10";
    return s;
  }
  // Sells with `sale` on this bench; whatever happened, the flow must have let go of the port.
  Dictionary Sell(Flow sale, const drivers::SolicitudVenta& s) {
    drivers::EntornoVenta entorno{link, parametros, puerto, modo_entrada, op, clock};
    Dictionary result = sale(entorno, s);
    EXPECT_FALSE(link.EstaAbierto()) << "the port was left open";
    EXPECT_FALSE(link.LectorActivo()) << "the reader was left on";
    return result;
  }
  // The one request posted to the gateway.
  auto Posted() const {
    const auto requests = gateway.Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? typename decltype(requests)::value_type{} : requests.front();
  }
  // The fields of the gateway's `n`th request, "name=value" joined by "&", in their order.
  std::string Record(std::size_t n = 0) const {
    const auto request = gateway.Requests().at(n);
    std::vector<std::string> pairs;
    for (const auto& pair : request.pairs) pairs.push_back(pair.name + "=" + pair.value);
    return Since(pairs, 0, "&");
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
