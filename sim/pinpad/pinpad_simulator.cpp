#include "sim/pinpad/pinpad_simulator.hpp"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace tovalix::sim {

PinPadSimulator::PinPadSimulator(Framing framing) : framing_(framing) {
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe2 failed");
}

PinPadSimulator::~PinPadSimulator() {
  Stop();
  ::close(wake_[0]);
  ::close(wake_[1]);
}

void PinPadSimulator::Start() {
  if (thread_.joinable()) return;
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
}

void PinPadSimulator::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  const char byte = 's';
  [[maybe_unused]] const ssize_t ignored = ::write(wake_[1], &byte, 1);
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
  pty_.HangUp();
  hung_up_ = true;
}

void PinPadSimulator::Run() {
  char chunk[512];
  while (!Stopping()) {
    pollfd entries[2] = {{wake_[0], POLLIN, 0}, {pty_.master(), POLLIN, 0}};
    const nfds_t count = pty_.hung_up() ? 1 : 2;
    if (::poll(entries, count, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if ((entries[0].revents & POLLIN) != 0) return;  // asked to stop
    if (count < 2 || entries[1].revents == 0) continue;
    const ssize_t n = ::read(pty_.master(), chunk, sizeof chunk);
    if (n <= 0) {
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      // Nobody holds the slave open any more; wait to be stopped.
      HangUp();
      continue;
    }
    pending_.append(chunk, static_cast<std::size_t>(n));
    {
      std::lock_guard lock(mutex_);
      received_.append(chunk, static_cast<std::size_t>(n));
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
    if (Stopping() || pty_.hung_up()) return;
  }
}

// Writes every byte, waiting for room; gives up when stopped or hung up.
void PinPadSimulator::WriteAll(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size() && !Stopping() && !pty_.hung_up()) {
    const ssize_t n = ::write(pty_.master(), bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd entry{pty_.master(), POLLOUT, 0};
      ::poll(&entry, 1, 10);
    } else {
      return;
    }
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
