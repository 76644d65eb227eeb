// What the Optimum flow and printing suites share: a simulated Optimum on a real pty, the
// simulated gateway on 127.0.0.1, the settings as a value, a fast clock, and the sale flow's
// environment built from them.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "drivers/optimum/sale.hpp"
#include "drivers/sale_request.hpp"
#include "platform/clock.hpp"
#include "serial/serial_link.hpp"
#include "settings/parametros.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "sim/optimum/optimum_pinpad.hpp"
#include "support/test_environment.hpp"

namespace tovalix::drivers::optimum {

class OptimumFixture : public ::testing::Test {
 protected:
  static settings::Parametros Settings(const std::string& url) {
    settings::Parametros p;
    p.IdStore = "5,17";
    p.Serie = std::string(sim::OptimumPinPad::kDefaultSerial);
    p.PTid = "4711";
    p.Tipo = "OPTIMUM";
    p.UrlGateway = url;
    p.Descripcion = "ABARROTES LA PRUEBA";
    p.Direccion1 = "AV. SIEMPRE VIVA 742";
    p.Direccion2 = "CENTRO CP.06000";
    p.Direccion3 = "CIUDAD DE MEXICO,CDMX";
    p.Rfc = "XAXX010101000";
    p.Telefono = "5555555555";
    p.TimeOutCreditDebit = "10";
    return p;
  }

  static SolicitudVenta Venta(double amount) {
    SolicitudVenta s;
    s.ID_Store = 5;
    s.Amount = Money::FromHost(amount).value();
    s.Total = s.Amount;
    s.ID_Transaction = 8001;
    s.Operation_Type = 1;
    s.ID_Client_Tx = 31;
    s.ID_Server_Tx = 32;
    s.TimeOut = "10";
    return s;
  }

  // Runs a sale; whatever happened, the flow must have let go of the port.
  Dictionary Sell(const SolicitudVenta& s) {
    Dictionary result = VentaOptimum(entorno, s);
    EXPECT_FALSE(link.EstaAbierto()) << "the port was left open";
    EXPECT_FALSE(link.LectorActivo()) << "the reader was left on";
    return result;
  }

  // "DDMMYY" and "HHMM" of a wall time, as the card request carries them.
  static std::string Date(const platform::WallTime& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d", t.date.day, t.date.month, t.date.year % 100);
    return text;
  }
  static std::string Time(const platform::WallTime& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d", t.hour, t.minute);
    return text;
  }

  testing::ScratchFolder logs;
  testing::ScopedEnv log_dir{"TOVALIX_LOG_DIR", logs.path().string()};
  testing::ScopedEnv settings_file{"TOVALIX_SETTINGS", (logs / "PinPad.ini").string()};
  testing::RecordingOperator op;
  platform::FastClock clock{50};
  serial::SerialLink link{op, clock};
  sim::OptimumPinPad pad;
  sim::GatewaySimulator gateway;
  settings::Parametros parametros = Settings(gateway.Url());
  std::string puerto = pad.PortPath();
  std::int16_t modo_entrada = 0;
  EntornoVenta entorno{link, parametros, puerto, modo_entrada, op, clock};
};

}  // namespace tovalix::drivers::optimum
