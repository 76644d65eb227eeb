// The few socket calls the loopback server needs, one file for each platform. Every socket
// but the listener is non-blocking: the server waits with WaitFor in short slices, so that
// Stop is prompt whatever the client does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tovalix::sim::net {

using Socket = std::intptr_t;
inline constexpr Socket kNoSocket = -1;

// Listens on `host`:`port` (0 chooses one) and sets `bound` to the port; kNoSocket on failure.
Socket Listen(const std::string& host, int port, int& bound);
// A blocking connection to `host`:`port`, for a client that speaks raw bytes; kNoSocket when
// it cannot be made.
Socket Connect(const std::string& host, int port);
// A connection waiting on `listener`, non-blocking; kNoSocket when there is none.
Socket Accept(Socket listener);
// Waits up to `milliseconds` until `socket` can be read (or written): 1 when it can, 0 when
// the time ran out, -1 on error.
int WaitFor(Socket socket, bool write, int milliseconds);
// Bytes moved, 0 when the peer closed (receive only), kAgain when it would block, -1 on error.
inline constexpr long kAgain = -2;
long Receive(Socket socket, char* data, std::size_t size);
long Send(Socket socket, const char* data, std::size_t size);
// No more bytes will be sent: the peer reads the end of the answer.
void ShutdownSend(Socket socket);
void Close(Socket socket);

}  // namespace tovalix::sim::net
