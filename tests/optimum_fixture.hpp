// What the Optimum flow and printing suites share: the serial flows' bench with a simulated
// Optimum on a real pty.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "drivers/optimum/sale.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "sim/optimum/optimum_pinpad.hpp"
#include "support/terminal_fixture.hpp"

namespace tovalix::drivers::optimum {

class OptimumFixture : public ::testing::Test, public testing::FlowBench<sim::GatewaySimulator> {
 protected:
  OptimumFixture() {
    parametros.Serie = std::string(sim::OptimumPinPad::kDefaultSerial);
    parametros.Tipo = "OPTIMUM";
    puerto = pad.PortPath();
  }

  Dictionary Sell(const SolicitudVenta& s) { return FlowBench::Sell(VentaOptimum, s); }

  sim::OptimumPinPad pad;
  EntornoVenta entorno{link, parametros, puerto, modo_entrada, op, clock};
};

}  // namespace tovalix::drivers::optimum
