#include "sim/c/tovalix_sim.h"

#include <memory>
#include <string>

#include "sim/gateway/gateway_simulator.hpp"
#include "sim/optimum/optimum_pinpad.hpp"

struct tovalix_sim_gateway {
  tovalix::sim::GatewaySimulator server;
  std::string text;
};

struct tovalix_sim_optimum {
  tovalix::sim::OptimumPinPad pad;
  std::string text;
};

namespace {

template <typename Simulator>
Simulator* Start() noexcept {
  try {
    return new Simulator();
  } catch (...) {
    return nullptr;
  }
}

const char* Keep(std::string& slot, std::string text) {
  slot = std::move(text);
  return slot.c_str();
}

}  // namespace

extern "C" {

tovalix_sim_gateway* tovalix_sim_gateway_start(void) {
  return Start<tovalix_sim_gateway>();
}

const char* tovalix_sim_gateway_base(tovalix_sim_gateway* gateway) {
  return Keep(gateway->text, "http://127.0.0.1:" + std::to_string(gateway->server.Port()));
}

size_t tovalix_sim_gateway_requests(tovalix_sim_gateway* gateway) {
  return gateway->server.RequestCount();
}

const char* tovalix_sim_gateway_last_value(tovalix_sim_gateway* gateway, const char* name) {
  const auto requests = gateway->server.Requests();
  return Keep(gateway->text, requests.empty() ? "" : requests.back().Value(name));
}

void tovalix_sim_gateway_stop(tovalix_sim_gateway* gateway) {
  delete gateway;
}

tovalix_sim_optimum* tovalix_sim_optimum_start(void) {
  return Start<tovalix_sim_optimum>();
}

const char* tovalix_sim_optimum_port(tovalix_sim_optimum* optimum) {
  return Keep(optimum->text, optimum->pad.PortPath());
}

const char* tovalix_sim_optimum_printed(tovalix_sim_optimum* optimum, size_t index) {
  const auto printed = optimum->pad.Printed();
  return index < printed.size() ? Keep(optimum->text, printed[index]) : nullptr;
}

void tovalix_sim_optimum_stop(tovalix_sim_optimum* optimum) {
  delete optimum;
}

}  // extern "C"
