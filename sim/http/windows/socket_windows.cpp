#include <winsock2.h>
#include <ws2tcpip.h>

#include "sim/http/socket.hpp"

namespace tovalix::sim::net {
namespace {

SOCKET Handle(Socket socket) {
  return static_cast<SOCKET>(socket);
}

// Winsock starts once for the process and stays up until it exits.
bool Started() {
  static const bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

long Moved(int result) {
  if (result != SOCKET_ERROR) return result;
  const int error = ::WSAGetLastError();
  return error == WSAEWOULDBLOCK || error == WSAEINTR ? kAgain : -1;
}

}  // namespace

Socket Listen(const std::string& host, int port, int& bound) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(static_cast<u_short>(port));
  if (!Started() || port < 0 || port > 65535 ||
      ::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
    return kNoSocket;
  }
  const SOCKET handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (handle == INVALID_SOCKET) return kNoSocket;
  // A port another program listens on must be refused, as on Linux.
  BOOL on = TRUE;
  ::setsockopt(handle, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
               sizeof on);
  int length = sizeof address;
  if (::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(handle, 64) != 0 ||
      ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::closesocket(handle);
    return kNoSocket;
  }
  bound = ::ntohs(address.sin_port);
  return static_cast<Socket>(handle);
}

Socket Connect(const std::string& host, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(static_cast<u_short>(port));
  const SOCKET handle = Started() ? ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
  if (handle != INVALID_SOCKET && ::inet_pton(AF_INET, host.c_str(), &address.sin_addr) == 1 &&
      ::connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    return static_cast<Socket>(handle);
  }
  if (handle != INVALID_SOCKET) ::closesocket(handle);
  return kNoSocket;
}

Socket Accept(Socket listener) {
  const SOCKET handle = ::accept(Handle(listener), nullptr, nullptr);
  if (handle == INVALID_SOCKET) return kNoSocket;
  u_long non_blocking = 1;
  if (::ioctlsocket(handle, FIONBIO, &non_blocking) != 0) {
    ::closesocket(handle);
    return kNoSocket;
  }
  return static_cast<Socket>(handle);
}

int WaitFor(Socket socket, bool write, int milliseconds) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(Handle(socket), &set);
  timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
  const int ready = ::select(0, write ? nullptr : &set, write ? &set : nullptr, nullptr, &limit);
  if (ready == SOCKET_ERROR) return -1;
  return ready == 0 ? 0 : 1;
}

long Receive(Socket socket, char* data, std::size_t size) {
  return Moved(::recv(Handle(socket), data, static_cast<int>(size), 0));
}

long Send(Socket socket, const char* data, std::size_t size) {
  return Moved(::send(Handle(socket), data, static_cast<int>(size), 0));
}

void ShutdownSend(Socket socket) {
  ::shutdown(Handle(socket), SD_SEND);
}

void Close(Socket socket) {
  if (socket != kNoSocket) ::closesocket(Handle(socket));
}

}  // namespace tovalix::sim::net
