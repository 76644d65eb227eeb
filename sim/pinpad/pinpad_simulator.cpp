#include "sim/pinpad/pinpad_simulator.hpp"

#include <algorithm>

namespace tovalix::sim {

PinPadSimulator::PinPadSimulator(Framing framing) : framing_(framing) {}

PinPadSimulator::~PinPadSimulator() {
  Stop();
}

void PinPadSimulator::Start() {
  if (thread_.joinable()) return;
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
}

void PinPadSimulator::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  line_.Wake();
  thread_.join();
}

std::vector<Unit> PinPadSimulator::Units() const {
  std::lock_guard lock(mutex_);
  return units_;
}

std::string PinPadSimulator::ReceivedBytes() const {
  std::lock_guard lock(mutex_);
  return received_;
}

bool PinPadSimulator::WaitForUnits(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, timeout, [&] { return handled_ >= count; });
}

std::chrono::steady_clock::time_point PinPadSimulator::LastByteSentAt() const {
  std::lock_guard lock(mutex_);
  return last_sent_;
}

void PinPadSimulator::HangUp() {
  line_.HangUp();
  hung_up_ = true;
}

void PinPadSimulator::Run() {
  while (!Stopping()) {
    std::string chunk;
    switch (line_.Wait(chunk)) {
      case DeviceLine::Event::kWoken:
        return;
      case DeviceLine::Event::kFarEndGone:
        // Nobody holds the code under test's end open any more; wait to be stopped.
        HangUp();
        continue;
      case DeviceLine::Event::kBytes:
        break;
    }
    pending_ += chunk;
    {
      std::lock_guard lock(mutex_);
      received_ += chunk;
    }
    Consume();
  }
}

void PinPadSimulator::Consume() {
  for (;;) {
    const std::size_t length = framing_(pending_);
    if (length == 0 || length > pending_.size()) return;  // need more bytes
    Unit unit{pending_.substr(0, length)};
    pending_.erase(0, length);
    {
      std::lock_guard lock(mutex_);
      units_.push_back(unit);
    }
    OnUnit(unit);
    {
      std::lock_guard lock(mutex_);
      ++handled_;
    }
    arrived_.notify_all();
    if (Stopping() || line_.hung_up()) return;
  }
}

// Writes every byte, waiting for room; gives up when stopped or hung up.
void PinPadSimulator::WriteAll(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size() && !Stopping() && !line_.hung_up()) {
    const std::optional<std::size_t> written = line_.Write(bytes.substr(done));
    if (!written) return;
    done += *written;
  }
}

void PinPadSimulator::AddLineFault(std::size_t send_number, LineFault fault) {
  std::lock_guard lock(mutex_);
  line_faults_.emplace_back(send_number, std::move(fault));
}

std::size_t PinPadSimulator::LineFaultsFired() const {
  std::lock_guard lock(mutex_);
  return line_faults_fired_;
}

std::size_t PinPadSimulator::BytesSent() const {
  std::lock_guard lock(mutex_);
  return bytes_sent_;
}

void PinPadSimulator::Send(std::string_view bytes, const Delivery& given) {
  Delivery how = given;
  if (pace_everything_) how.paced = true;
  std::optional<LineFault> fault;
  {
    std::lock_guard lock(mutex_);
    const std::size_t number = sends_++;
    for (auto it = line_faults_.begin(); it != line_faults_.end(); ++it) {
      if (it->first != number) continue;
      fault = std::move(it->second);
      line_faults_.erase(it);
      ++line_faults_fired_;
      break;
    }
  }
  if (fault) {
    switch (fault->kind) {
      case LineFault::Kind::kSilence:
        return;
      case LineFault::Kind::kNak:
        return Deliver("\x15", how);
      case LineFault::Kind::kWrongLrc: {
        std::string changed(bytes);
        if (!changed.empty()) changed.back() = static_cast<char>(changed.back() ^ 0x5A);
        return Deliver(changed, how);
      }
      case LineFault::Kind::kDelivery:
        fault->how.paced = fault->how.paced || how.paced;
        return Deliver(bytes, fault->how);
    }
  }
  Deliver(bytes, how);
}

void PinPadSimulator::Deliver(std::string_view bytes, const Delivery& how) {
  const std::string out = how.before + std::string(bytes) + how.after;
  if (how.delay.count() > 0) std::this_thread::sleep_for(how.delay);

  // Piece boundaries: the cuts, and the hang-up point, which ends the output.
  std::size_t limit = out.size();
  if (how.hang_up_after) limit = std::min(limit, *how.hang_up_after);
  std::vector<std::size_t> bounds;
  for (const std::size_t cut : how.cuts) {
    if (cut > 0 && cut < limit && (bounds.empty() || cut > bounds.back())) bounds.push_back(cut);
  }
  bounds.push_back(limit);

  const auto start = std::chrono::steady_clock::now();
  std::size_t written = 0;
  for (std::size_t piece = 0; piece < bounds.size(); ++piece) {
    if (piece > 0 && how.pause.count() > 0) std::this_thread::sleep_for(how.pause);
    const std::string_view part = std::string_view(out).substr(written, bounds[piece] - written);
    if (how.paced) {
      // Each byte leaves at its own time on the line; sleeping to absolute times keeps the
      // pace from drifting.
      const auto begin = piece == 0 ? start : std::chrono::steady_clock::now();
      for (std::size_t i = 0; i < part.size(); ++i) {
        std::this_thread::sleep_until(begin + kByteTimeAt19200 * static_cast<long>(i + 1));
        WriteAll(part.substr(i, 1));
      }
    } else {
      WriteAll(part);
    }
    written = bounds[piece];
  }
  {
    std::lock_guard lock(mutex_);
    last_sent_ = std::chrono::steady_clock::now();
    bytes_sent_ += written;
  }
  if (how.hang_up_after) HangUp();
}

}  // namespace tovalix::sim
