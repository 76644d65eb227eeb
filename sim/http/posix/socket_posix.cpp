#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "sim/http/socket.hpp"

namespace tovalix::sim::net {
namespace {

int Fd(Socket socket) {
  return static_cast<int>(socket);
}

bool WouldBlock() {
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

}  // namespace

Socket Listen(const std::string& host, int port, int& bound) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (port < 0 || port > 65535 || ::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
    return kNoSocket;
  }
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kNoSocket;
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 64) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return kNoSocket;
  }
  bound = ntohs(address.sin_port);
  return fd;
}

Socket Connect(const std::string& host, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd >= 0 && ::inet_pton(AF_INET, host.c_str(), &address.sin_addr) == 1 &&
      ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    return fd;
  }
  if (fd >= 0) ::close(fd);
  return kNoSocket;
}

Socket Accept(Socket listener) {
  const int fd = ::accept4(Fd(listener), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  return fd < 0 ? kNoSocket : fd;
}

int WaitFor(Socket socket, bool write, int milliseconds) {
  pollfd entry{Fd(socket), static_cast<short>(write ? POLLOUT : POLLIN), 0};
  const int ready = ::poll(&entry, 1, milliseconds);
  if (ready < 0) return errno == EINTR ? 0 : -1;
  return ready == 0 ? 0 : 1;
}

long Receive(Socket socket, char* data, std::size_t size) {
  const ssize_t got = ::recv(Fd(socket), data, size, 0);
  if (got < 0) return WouldBlock() ? kAgain : -1;
  return static_cast<long>(got);
}

long Send(Socket socket, const char* data, std::size_t size) {
  const ssize_t sent = ::send(Fd(socket), data, size, MSG_NOSIGNAL);
  if (sent < 0) return WouldBlock() ? kAgain : -1;
  return static_cast<long>(sent);
}

void ShutdownSend(Socket socket) {
  ::shutdown(Fd(socket), SHUT_WR);
}

void Close(Socket socket) {
  if (socket != kNoSocket) ::close(Fd(socket));
}

}  // namespace tovalix::sim::net
