// The demo's banking-agent counter: after the card sales, a simulated Hypercom Optimum becomes
// the terminal, a teller signs in, a remittance order is looked up and paid out, and its
// voucher prints on the Optimum's printer.
#pragma once

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "sim/gateway/gateway_simulator.hpp"

namespace tovalix::cli {

// A result as a demo step prints it.
nlohmann::ordered_json JsonOf(const Dictionary& result);

// Prints one step of the demo and its result.
using DemoStep = std::function<void(const std::string& step, const nlohmann::ordered_json&)>;

// Runs the counter against `gateway` (which also serves as the banking-agent service), mapping
// the Optimum's port in the device map file `devices`. True when the teller signed in, the
// order was paid and both copies of its voucher printed.
bool RunCounterDemo(Operator& op, sim::GatewaySimulator& gateway,
                    const std::filesystem::path& devices, const DemoStep& step);

}  // namespace tovalix::cli
