// The HTTP plumbing the gateway and airtime simulators share: a server on a thread of its own
// that answers every POST with the simulator's handler, one request per connection.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace tovalix::sim {

class LoopbackServer {
 public:
  // Runs on a server thread for each request.
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  // Listens on `host`:`port` (0 chooses a free port) and serves until Stop or destruction.
  // Throws std::runtime_error naming `what` when it cannot listen.
  LoopbackServer(const std::string& what, int port, const std::string& host, Handler handler);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int Port() const { return port_; }
  // "http://<host>:<port>".
  std::string Origin() const;

  // Stops serving and waits for the server thread. Idempotent.
  void Stop();

 private:
  std::string host_;
  int port_ = 0;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::atomic<bool> listen_returned_{false};
};

}  // namespace tovalix::sim
