// POSIX backend of the serial port seam: termios for the line settings, poll() for waiting.
// libserialport is not used because it refuses pseudo-terminals, which the simulators need.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/failure.hpp"
#include "platform/in_process_port.hpp"
#include "platform/serial_port.hpp"

namespace tovalix::platform {
namespace {

// How long a write may wait for room in a full output queue before the port counts as stuck.
constexpr int kWriteStallMs = 5000;

std::string SystemText(int error) {
  return std::strerror(error);
}

class TermiosSerialPort final : public SerialPort {
 public:
  TermiosSerialPort(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~TermiosSerialPort() override { Close(); }
  TermiosSerialPort(const TermiosSerialPort&) = delete;
  TermiosSerialPort& operator=(const TermiosSerialPort&) = delete;

  const std::string& Path() const override { return path_; }
  bool IsOpen() const override { return fd_ >= 0; }

  void Close() noexcept override {
    if (fd_ >= 0) {
      // The exclusive mode belongs to the device, not to this descriptor: another holder of the
      // line (a pty's far side) would otherwise keep it refused after we are gone.
      ::ioctl(fd_, TIOCNXCL);
      ::close(fd_);
      fd_ = -1;
    }
  }

  void Write(std::string_view bytes) override {
    RequireOpen();
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        WaitWritable();
        continue;
      }
      Fail("No se pudo escribir en el puerto", n < 0 ? errno : EIO);
    }
  }

  bool WaitReadable(int real_ms) override {
    RequireOpen();
    pollfd entry{fd_, POLLIN, 0};
    int ready;
    do {
      ready = ::poll(&entry, 1, real_ms < 0 ? 0 : real_ms);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) Fail("Error al esperar datos del puerto", errno);
    if (ready == 0) return false;
    if ((entry.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0) return true;
    // The line is gone or failing: bytes still queued are read first, then it fails.
    if (Queued() > 0) return true;
    if ((entry.revents & POLLHUP) != 0) HangUp();
    Fail("Error del puerto", EIO);
  }

  std::string ReadPending() override {
    RequireOpen();
    std::string bytes;
    char chunk[512];
    for (;;) {
      const ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n > 0) {
        bytes.append(chunk, static_cast<std::size_t>(n));
        if (static_cast<std::size_t>(n) < sizeof chunk) return bytes;
        continue;
      }
      // Nothing more pending: a raw line without a minimum count reads 0 then, also right
      // after a full chunk. A hang-up is told by poll() (WaitReadable), not by this.
      if (n == 0) return bytes;
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return bytes;
      // EIO: the line is gone. Bytes already read are lost with it, as the exchange they
      // belong to cannot finish anyway.
      if (errno == EIO) HangUp();
      Fail("No se pudo leer del puerto", errno);
    }
  }

 private:
  void RequireOpen() const {
    if (fd_ < 0) throw Failure("El puerto " + path_ + " no está abierto.");
  }

  // Bytes waiting in the input queue; 0 when the line can no longer tell.
  int Queued() const {
    int count = 0;
    return ::ioctl(fd_, FIONREAD, &count) == 0 ? count : 0;
  }

  [[noreturn]] void HangUp() const {
    throw Failure("El puerto " + path_ + " se desconectó (la Pin Pad colgó la línea).");
  }

  [[noreturn]] void Fail(const std::string& what, int error) const {
    throw Failure(what + " " + path_ + ": " + SystemText(error));
  }

  void WaitWritable() {
    pollfd entry{fd_, POLLOUT, 0};
    int ready;
    do {
      ready = ::poll(&entry, 1, kWriteStallMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) Fail("Error al esperar el puerto", errno);
    if (ready == 0) throw Failure("El puerto " + path_ + " no acepta más datos.");
    if ((entry.revents & (POLLHUP | POLLERR)) != 0 && (entry.revents & POLLOUT) == 0) HangUp();
  }

  int fd_;
  std::string path_;
};

}  // namespace

std::unique_ptr<SerialPort> OpenSerialPort(const std::string& path) {
  if (auto line = OpenInProcessPort(path)) return line;  // a line this process made
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (error == EBUSY) throw PortInUse(path);  // held in exclusive mode by another process
    throw Failure("No se pudo abrir el puerto " + path + ": " + SystemText(error));
  }
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) {
    ::close(fd);
    throw Failure("No se pudo abrir el puerto " + path + ": no es un puerto serie.");
  }
  // One user of the PIN pad at a time. flock binds every process that also takes it, root
  // included; TIOCEXCL refuses other opens of the device to everyone but root.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) throw PortInUse(path);
    throw Failure("No se pudo apartar el puerto " + path + ": " + SystemText(error));
  }
  ::ioctl(fd, TIOCEXCL);
  // 19200,N,8,1 raw: no echo, no line editing, no signals (ETX would be the interrupt
  // character, EOT end-of-file, NAK the line kill), no software or hardware flow control.
  ::cfmakeraw(&settings);
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  settings.c_cflag |= CS8 | CREAD | CLOCAL;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  ::cfsetispeed(&settings, B19200);
  ::cfsetospeed(&settings, B19200);
  if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
    const int error = errno;
    ::close(fd);
    throw Failure("No se pudo configurar el puerto " + path + ": " + SystemText(error));
  }
  return std::make_unique<TermiosSerialPort>(fd, path);
}

std::string NativePortPath(int number) {
  const char* prefix = std::getenv("TOVALIX_NATIVE_PORT_PREFIX");
  const std::string base = (prefix != nullptr && *prefix != '\0') ? prefix : "/dev/ttyS";
  return base + std::to_string(number - 1);
}

}  // namespace tovalix::platform
