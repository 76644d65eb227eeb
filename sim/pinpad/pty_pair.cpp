#include "sim/pinpad/pty_pair.hpp"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace tovalix::sim {
namespace {

void MakeRaw(int fd) {
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) return;
  ::cfmakeraw(&settings);
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  ::cfsetispeed(&settings, B19200);
  ::cfsetospeed(&settings, B19200);
  ::tcsetattr(fd, TCSANOW, &settings);
}

[[noreturn]] void Refused(const char* what) {
  throw std::runtime_error(std::string("pty: ") + what + ": " + std::strerror(errno));
}

}  // namespace

PtyPair::PtyPair() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) Refused("posix_openpt");
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    ::close(master_);
    Refused("grantpt/unlockpt");
  }
  char name[128];
  if (::ptsname_r(master_, name, sizeof name) != 0) {
    ::close(master_);
    Refused("ptsname");
  }
  slave_path_ = name;
  held_slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (held_slave_ < 0) {
    ::close(master_);
    Refused("open slave");
  }
  MakeRaw(held_slave_);
  MakeRaw(master_);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
}

PtyPair::~PtyPair() {
  HangUp();
}

void PtyPair::HangUp() {
  if (master_ >= 0) ::close(master_);
  if (held_slave_ >= 0) ::close(held_slave_);
  master_ = -1;
  held_slave_ = -1;
}

}  // namespace tovalix::sim
