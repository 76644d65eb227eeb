#include "sim/http/loopback_server.hpp"

#include <httplib.h>

#include <chrono>
#include <stdexcept>

namespace tovalix::sim {

LoopbackServer::LoopbackServer(const std::string& what, int port, const std::string& host,
                               Handler handler)
    : host_(host), server_(std::make_unique<httplib::Server>()) {
  // One request per connection: a worker never lingers on an idle keep-alive socket.
  server_->set_keep_alive_max_count(1);
  server_->set_read_timeout(5, 0);
  server_->Post(".*", std::move(handler));

  port_ = port == 0 ? server_->bind_to_any_port(host_)
                    : (server_->bind_to_port(host_, port) ? port : -1);
  if (port_ <= 0) throw std::runtime_error("the " + what + " cannot listen on " + host_);
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    listen_returned_ = true;
  });
  // stop() before the server runs would hang: wait until it does.
  while (!server_->is_running()) {
    if (listen_returned_) {
      thread_.join();
      throw std::runtime_error("the " + what + " stopped before serving");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

LoopbackServer::~LoopbackServer() {
  Stop();
}

std::string LoopbackServer::Origin() const {
  return "http://" + host_ + ":" + std::to_string(port_);
}

void LoopbackServer::Stop() {
  if (server_->is_running()) server_->stop();
  if (thread_.joinable()) thread_.join();
}

}  // namespace tovalix::sim
