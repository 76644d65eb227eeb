// What the Optimum flow and printing suites share: the serial flows' bench, a simulated Optimum
// on a real pty, the merchant's settings and the sale flow's environment.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "drivers/optimum/sale.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "sim/optimum/optimum_pinpad.hpp"
#include "support/terminal_fixture.hpp"

namespace tovalix::drivers::optimum {

class OptimumFixture : public ::testing::Test, public testing::FlowBench<sim::GatewaySimulator> {
 protected:
  OptimumFixture() {
    parametros = Settings(gateway.Url());
    puerto = pad.PortPath();
  }

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
  Dictionary Sell(const SolicitudVenta& s) { return Finished(VentaOptimum(entorno, s)); }

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

  sim::OptimumPinPad pad;
  EntornoVenta entorno{link, parametros, puerto, modo_entrada, op, clock};
};

}  // namespace tovalix::drivers::optimum
