// The HTTP plumbing the gateway and airtime simulators share: a small HTTP/1.1 server on
// 127.0.0.1 with a thread of its own that accepts connections, one request per connection
// (Connection: close), each served on a thread of its own by the simulator's handler.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "sim/http/socket.hpp"

namespace tovalix::sim {

struct HttpRequest {
  std::string method;
  std::string path;  // the target without its query
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // Value of the first header named `name` (any case), "" when absent.
  std::string Header(std::string_view name) const;
};

struct HttpResponse {
  // Sends more of a streamed body; false once the client is gone.
  using Write = std::function<bool(std::string_view)>;

  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;  // sent as given, one per line
  std::string body;
  // When set, the body is chunked and this writes it; the body above is not sent.
  std::function<void(const Write&)> stream;
  // Promise a body in the headers and close the connection without sending it.
  bool cut = false;
};

class LoopbackServer {
 public:
  // Runs on a connection's thread for each request; an exception becomes a 500.
  using Handler = std::function<void(const HttpRequest&, HttpResponse&)>;

  // Refused with 413: larger request heads and bodies.
  static constexpr std::size_t kMaxHead = 64 * 1024;
  static constexpr std::size_t kMaxBody = 8 * 1024 * 1024;

  // Listens on `host`:`port` (0 chooses a free port) and serves until Stop or destruction.
  // Throws std::runtime_error naming `what` when it cannot listen.
  LoopbackServer(const std::string& what, int port, const std::string& host, Handler handler);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int Port() const { return port_; }
  // "http://<host>:<port>".
  std::string Origin() const;

  // Stops accepting, cuts the connections still open and waits for every thread. Idempotent.
  void Stop();

 private:
  struct Connection {
    net::Socket socket;
    std::thread thread;
    bool done = false;
  };

  void Accept();
  void Serve(Connection& connection);
  // Reads one request; false with `refusal` set (or 0 when the client went away) otherwise.
  bool Read(net::Socket socket, HttpRequest& request, int& refusal);
  bool Send(net::Socket socket, std::string_view bytes);
  void Answer(net::Socket socket, const HttpResponse& response);

  std::string host_;
  int port_ = 0;
  Handler handler_;
  net::Socket listener_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::list<Connection> connections_;
  std::thread acceptor_;
};

}  // namespace tovalix::sim
