#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>

#include "sim/pinpad/device_line.hpp"
#include "sim/pinpad/pty_pair.hpp"

namespace tovalix::sim {

struct DeviceLine::State {
  PtyPair pty;
  int wake[2] = {-1, -1};
};

DeviceLine::DeviceLine() : state_(std::make_unique<State>()) {
  if (::pipe2(state_->wake, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe2 failed");
}

DeviceLine::~DeviceLine() {
  ::close(state_->wake[0]);
  ::close(state_->wake[1]);
}

const std::string& DeviceLine::PortPath() const {
  return state_->pty.slave_path();
}

DeviceLine::Event DeviceLine::Wait(std::string& bytes) {
  PtyPair& pty = state_->pty;
  for (;;) {
    pollfd entries[2] = {{state_->wake[0], POLLIN, 0}, {pty.master(), POLLIN, 0}};
    const nfds_t count = pty.hung_up() ? 1 : 2;
    if (::poll(entries, count, -1) < 0) {
      if (errno == EINTR) continue;
      return Event::kWoken;
    }
    if ((entries[0].revents & POLLIN) != 0) return Event::kWoken;
    if (count < 2 || entries[1].revents == 0) continue;
    char chunk[512];
    const ssize_t n = ::read(pty.master(), chunk, sizeof chunk);
    if (n > 0) {
      bytes.append(chunk, static_cast<std::size_t>(n));
      return Event::kBytes;
    }
    // Nobody holds the slave open any more.
    if (n == 0 || (errno != EAGAIN && errno != EINTR)) return Event::kFarEndGone;
  }
}

void DeviceLine::Wake() {
  const char byte = 's';
  [[maybe_unused]] const ssize_t ignored = ::write(state_->wake[1], &byte, 1);
}

std::optional<std::size_t> DeviceLine::Write(std::string_view bytes) {
  const int master = state_->pty.master();
  const ssize_t n = ::write(master, bytes.data(), bytes.size());
  if (n >= 0) return static_cast<std::size_t>(n);
  if (errno != EAGAIN && errno != EINTR) return std::nullopt;
  pollfd entry{master, POLLOUT, 0};
  ::poll(&entry, 1, 10);
  return 0;
}

void DeviceLine::HangUp() {
  state_->pty.HangUp();
}

bool DeviceLine::hung_up() const {
  return state_->pty.hung_up();
}

bool LineShowsHangUp() {
  return true;
}

}  // namespace tovalix::sim
