// What the control (Cliente, and Mostrador at the counter) keeps between and during operations: the
// loaded settings, the PIN pad's port, the serial link with its receive buffer, the card entry mode
// of the last sale and the airtime catalogue ids.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <tovalix/cliente.hpp>
#include <tovalix/mostrador.hpp>
#include <tovalix/operator.hpp>

#include "platform/clock.hpp"
#include "serial/serial_link.hpp"
#include "settings/parametros.hpp"

namespace tovalix::detail {

struct ClienteState {
  explicit ClienteState(Operator& host) : op(host) {}

  // The serial link, made anew when the clock changes (tests run deadlines on a fast clock).
  serial::SerialLink& Link();

  Operator& op;
  const platform::Clock* clock = &platform::SystemClock();
  settings::Parametros Parametros;
  std::string Puerto;
  std::int16_t ModoEntrada = 0;
  std::int16_t IdMaster = 0;     // airtime catalogue master id
  std::int16_t IdProveedor = 0;  // airtime catalogue provider id

 private:
  std::unique_ptr<serial::SerialLink> link_;
  const platform::Clock* link_clock_ = nullptr;
};

// The door through which the library's own parts (tests, the demo) reach a Cliente's state.
struct ClienteAccess {
  static ClienteState& State(Cliente& cliente) { return *cliente.state_; }
  // Runs every wait of this Cliente on `clock`, which must outlive it.
  static void UseClock(Cliente& cliente, const platform::Clock& clock) {
    cliente.state_->clock = &clock;
  }
};

// The same door to a Mostrador's clock.
struct MostradorAccess {
  static void UseClock(Mostrador& mostrador, const platform::Clock& clock) {
    mostrador.state_->clock = &clock;
  }
};

}  // namespace tovalix::detail
