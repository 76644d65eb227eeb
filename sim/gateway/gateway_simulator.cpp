#include "sim/gateway/gateway_simulator.hpp"

#include <algorithm>
#include <exception>

namespace tovalix::sim {
std::string GatewayRequest::Value(std::string_view name) const {
  for (const auto& pair : pairs) {
    if (pair.name == name) return pair.value;
  }
  return "";
}

bool GatewayRequest::Has(std::string_view name) const {
  return std::any_of(pairs.begin(), pairs.end(), [&](const auto& p) { return p.name == name; });
}

std::vector<std::string> GatewayRequest::Names() const {
  std::vector<std::string> names;
  for (const auto& pair : pairs) names.push_back(pair.name);
  return names;
}

GatewayAnswer& GatewayAnswer::Set(const std::string& name, std::string value) {
  for (auto& header : headers) {
    if (header.first == name) {
      header.second = std::move(value);
      return *this;
    }
  }
  headers.emplace_back(name, std::move(value));
  return *this;
}

GatewayAnswer& GatewayAnswer::Remove(std::string_view name) {
  std::erase_if(headers, [&](const auto& header) { return header.first == name; });
  return *this;
}

std::string GatewayAnswer::Header(std::string_view name) const {
  for (const auto& header : headers) {
    if (header.first == name) return header.second;
  }
  return "";
}

GatewaySimulator::GatewaySimulator(int port, const std::string& host)
    : server_("gateway simulator", port, host,
              [this](const HttpRequest& in, HttpResponse& out) { Respond(in, out); }) {}

void GatewaySimulator::Respond(const HttpRequest& in, HttpResponse& out) {
  GatewayRequest request{in.method, in.path, in.Header("Content-Type"), in.body,
                         DecodeForm(in.body)};
  GatewayAnswer answer;
  try {
    Handle(request, answer);
  } catch (const std::exception& error) {
    answer = GatewayAnswer{};
    answer.status = 500;
    answer.body = error.what();
  }
  if (answer.drop) {
    out.cut = true;  // a body promised and never sent
    return;
  }
  out.status = answer.status;
  out.headers = answer.headers;
  if (answer.Header("Content-Type").empty()) out.headers.emplace_back("Content-Type", "text/html");
  out.body = answer.body;
  if (answer.stream_bytes > 0) {
    out.stream = [this, left = answer.stream_bytes](const HttpResponse::Write& write) mutable {
      while (left > 0) {
        const std::string chunk(std::min<std::size_t>(left, 64 * 1024), 'x');
        if (!write(chunk)) return;  // the client hung up
        streamed_ += chunk.size();
        left -= chunk.size();
      }
    };
  }
}

GatewaySimulator::~GatewaySimulator() {
  Stop();
}

std::string GatewaySimulator::Url() const {
  return server_.Origin() + "/gateway.asp";
}

void GatewaySimulator::SetScript(Script script) {
  std::lock_guard lock(mutex_);
  script_ = std::move(script);
}

std::vector<GatewayRequest> GatewaySimulator::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t GatewaySimulator::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

void GatewaySimulator::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  wake_.notify_all();
  server_.Stop();
}

void GatewaySimulator::Handle(const GatewayRequest& request, GatewayAnswer& answer) {
  Script script;
  std::size_t sequence = 0;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    sequence = requests_.size();
    script = script_;
  }
  answer = Approval(request, sequence);
  if (script) script(request, answer);
  if (answer.delay.count() > 0) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, answer.delay, [this] { return stopping_; });
  }
}

}  // namespace tovalix::sim
