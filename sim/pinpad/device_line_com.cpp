// The simulator's end on Windows: one port of a null-modem pair of COM ports, opened through
// the library's own serial port. The pairs come from TOVALIX_TEST_COM_PAIRS
// ("COM10:COM11,COM12:COM13": the simulator's port, then the one the code under test opens);
// a simulator claims the first pair no other simulator of this process holds. After
// UseInProcessLines the lines are in-process pipes (platform/in_process_port.hpp) instead.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "common/failure.hpp"
#include "platform/in_process_port.hpp"
#include "platform/serial_port.hpp"
#include "sim/pinpad/device_line.hpp"

namespace tovalix::sim {
namespace {

// How long a wait for bytes lasts before it looks whether it was woken.
constexpr int kWakeCheckMs = 20;

std::mutex pairs_guard;
std::set<std::string> pairs_claimed;
std::atomic<bool> in_process_lines{false};

std::vector<std::pair<std::string, std::string>> ConfiguredPairs() {
  const char* text = std::getenv("TOVALIX_TEST_COM_PAIRS");
  std::vector<std::pair<std::string, std::string>> pairs;
  std::istringstream list(text == nullptr ? "" : text);
  for (std::string entry; std::getline(list, entry, ',');) {
    const auto colon = entry.find(':');
    if (colon != std::string::npos)
      pairs.emplace_back(entry.substr(0, colon), entry.substr(colon + 1));
  }
  return pairs;
}

}  // namespace

struct DeviceLine::State {
  std::string own;
  std::string far;
  std::unique_ptr<platform::SerialPort> port;
  std::atomic<bool> woken{false};
};

DeviceLine::DeviceLine() : state_(std::make_unique<State>()) {
  if (in_process_lines) {
    platform::InProcessLine line = platform::MakeInProcessLine();
    state_->far = std::move(line.name);
    state_->port = std::move(line.device);
    return;
  }
  {
    const std::lock_guard lock(pairs_guard);
    for (auto& [own, far] : ConfiguredPairs()) {
      if (!pairs_claimed.insert(own).second) continue;
      state_->own = std::move(own);
      state_->far = std::move(far);
      break;
    }
  }
  if (state_->own.empty()) {
    throw std::runtime_error("no free pair of COM ports in TOVALIX_TEST_COM_PAIRS");
  }
  try {
    state_->port = platform::OpenSerialPort(state_->own);
  } catch (const Failure& failure) {
    const std::lock_guard lock(pairs_guard);
    pairs_claimed.erase(state_->own);
    throw std::runtime_error(failure.what());
  }
}

DeviceLine::~DeviceLine() {
  HangUp();
  if (state_->own.empty()) return;
  const std::lock_guard lock(pairs_guard);
  pairs_claimed.erase(state_->own);
}

const std::string& DeviceLine::PortPath() const {
  return state_->far;
}

DeviceLine::Event DeviceLine::Wait(std::string& bytes) {
  while (!state_->woken) {
    if (hung_up()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(kWakeCheckMs));
      continue;
    }
    try {
      if (!state_->port->WaitReadable(kWakeCheckMs)) continue;
      bytes += state_->port->ReadPending();
      if (!bytes.empty()) return Event::kBytes;
    } catch (const Failure&) {
      return Event::kFarEndGone;
    }
  }
  return Event::kWoken;
}

void DeviceLine::Wake() {
  state_->woken = true;
}

std::optional<std::size_t> DeviceLine::Write(std::string_view bytes) {
  if (hung_up()) return std::nullopt;
  try {
    state_->port->Write(bytes);
    return bytes.size();
  } catch (const Failure&) {
    return std::nullopt;
  }
}

void DeviceLine::HangUp() {
  if (state_->port) state_->port->Close();
}

bool DeviceLine::hung_up() const {
  return !state_->port || !state_->port->IsOpen();
}

bool LineShowsHangUp() {
  return false;
}

void UseInProcessLines() {
  in_process_lines = true;
}

}  // namespace tovalix::sim
