#include "sim/http/loopback_server.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <exception>
#include <stdexcept>

namespace tovalix::sim {
namespace {

// Every wait is this long at most, so that Stop is seen promptly.
constexpr int kSliceMs = 50;
// A client silent for this long (or not reading the answer) is dropped.
constexpr int kIdleMs = 5000;

bool SameText(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// A header line must stay one line whatever a handler puts in it.
std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\r', ' ');
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

const char* Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 413:
      return "Content Too Large";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

HttpResponse Plain(int status, std::string body) {
  HttpResponse response;
  response.status = status;
  response.body = std::move(body);
  return response;
}

}  // namespace

std::string HttpRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (SameText(key, name)) return value;
  }
  return "";
}

LoopbackServer::LoopbackServer(const std::string& what, int port, const std::string& host,
                               Handler handler)
    : host_(host), handler_(std::move(handler)), listener_(net::Listen(host, port, port_)) {
  if (listener_ == net::kNoSocket) {
    throw std::runtime_error("the " + what + " cannot listen on " + host_);
  }
  acceptor_ = std::thread([this] { Accept(); });
}

LoopbackServer::~LoopbackServer() {
  Stop();
}

std::string LoopbackServer::Origin() const {
  return "http://" + host_ + ":" + std::to_string(port_);
}

void LoopbackServer::Stop() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  std::list<Connection> open;
  {
    std::lock_guard lock(mutex_);
    open.swap(connections_);
  }
  for (auto& connection : open) connection.thread.join();
  net::Close(std::exchange(listener_, net::kNoSocket));
}

void LoopbackServer::Accept() {
  while (!stopping_) {
    if (net::WaitFor(listener_, false, kSliceMs) != 1) continue;
    const net::Socket socket = net::Accept(listener_);
    if (socket == net::kNoSocket) continue;
    std::lock_guard lock(mutex_);
    std::erase_if(connections_, [](Connection& connection) {
      if (connection.done) connection.thread.join();
      return connection.done;
    });
    Connection& connection = connections_.emplace_back();
    connection.socket = socket;
    connection.thread = std::thread([this, &connection] { Serve(connection); });
  }
}

void LoopbackServer::Serve(Connection& connection) {
  HttpRequest request;
  HttpResponse response;
  int refusal = 0;
  if (Read(connection.socket, request, refusal)) {
    try {
      if (request.method != "POST") {
        response.status = 405;
      } else {
        handler_(request, response);
      }
    } catch (const std::exception& error) {
      response = Plain(500, error.what());
    } catch (...) {
      response = Plain(500, "unknown failure");
    }
    Answer(connection.socket, response);
  } else if (refusal != 0) {
    Answer(connection.socket, Plain(refusal, Reason(refusal)));
  }
  // Close only once the client has read everything: closing with its bytes still unread
  // would reset the connection and could lose the answer.
  net::ShutdownSend(connection.socket);
  char drain[4096];
  for (int waited = 0; !stopping_ && waited < kIdleMs;) {
    const long got = net::Receive(connection.socket, drain, sizeof drain);
    if (got == 0 || got == -1) break;
    if (got == net::kAgain) {
      if (net::WaitFor(connection.socket, false, kSliceMs) < 0) break;
      waited += kSliceMs;
    }
  }
  net::Close(connection.socket);
  std::lock_guard lock(mutex_);
  connection.done = true;
}

bool LoopbackServer::Read(net::Socket socket, HttpRequest& request, int& refusal) {
  std::string data;
  char buffer[16 * 1024];
  int idle = 0;
  // Appends what the client sent next; false when it went away, fell silent or on Stop.
  const auto more = [&] {
    while (!stopping_ && idle < kIdleMs) {
      const long got = net::Receive(socket, buffer, sizeof buffer);
      if (got > 0) {
        data.append(buffer, static_cast<std::size_t>(got));
        idle = 0;
        return true;
      }
      if (got != net::kAgain) return false;
      const int ready = net::WaitFor(socket, false, kSliceMs);
      if (ready < 0) return false;
      if (ready == 0) idle += kSliceMs;
    }
    return false;
  };

  std::size_t end = std::string::npos;
  while ((end = data.find("\r\n\r\n")) == std::string::npos) {
    if (data.size() > kMaxHead) {
      refusal = 413;
      return false;
    }
    if (!more()) return false;
  }
  if (end > kMaxHead) {
    refusal = 413;
    return false;
  }
  refusal = 400;
  const std::string_view head(data.data(), end);
  std::size_t line_end = head.find("\r\n");
  const std::string_view line = head.substr(0, line_end);
  const std::size_t first = line.find(' ');
  const std::size_t second = line.find(' ', first == line.npos ? line.npos : first + 1);
  if (first == 0 || first == line.npos || second == line.npos || second == first + 1 ||
      line.substr(second + 1).substr(0, 7) != "HTTP/1." ||
      line.find(' ', second + 1) != line.npos) {
    return false;
  }
  request.method = line.substr(0, first);
  const std::string_view target = line.substr(first + 1, second - first - 1);
  request.path = target.substr(0, target.find('?'));

  std::size_t length = 0;
  bool has_length = false;
  while (line_end != head.npos) {
    const std::size_t start = line_end + 2;
    line_end = head.find("\r\n", start);
    const std::string_view field = head.substr(start, line_end - start);
    const std::size_t colon = field.find(':');
    if (colon == 0 || colon == field.npos || field.find_first_of(" \t") < colon) return false;
    const std::string_view name = field.substr(0, colon);
    const std::string_view value = Trim(field.substr(colon + 1));
    request.headers.emplace_back(name, value);
    // A body in chunks is not taken: every client here sends its length.
    if (SameText(name, "Transfer-Encoding")) return false;
    if (SameText(name, "Content-Length")) {
      std::size_t parsed = 0;
      const auto [rest, error] = std::from_chars(value.data(), value.data() + value.size(), parsed);
      if (value.empty() || error == std::errc::invalid_argument ||
          (error == std::errc{} && rest != value.data() + value.size()) ||
          (has_length && parsed != length)) {
        return false;
      }
      if (error == std::errc::result_out_of_range || parsed > kMaxBody) {
        refusal = 413;
        return false;
      }
      length = parsed;
      has_length = true;
    }
  }
  refusal = 0;
  if (length > 0 && SameText(request.Header("Expect"), "100-continue") &&
      !Send(socket, "HTTP/1.1 100 Continue\r\n\r\n")) {
    return false;
  }
  data.erase(0, end + 4);
  while (data.size() < length) {
    if (!more()) return false;
  }
  data.resize(length);  // bytes past the body are not ours: one request per connection
  request.body = std::move(data);
  return true;
}

bool LoopbackServer::Send(net::Socket socket, std::string_view bytes) {
  int idle = 0;
  while (!bytes.empty()) {
    if (stopping_ || idle >= kIdleMs) return false;
    const long sent = net::Send(socket, bytes.data(), bytes.size());
    if (sent > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(sent));
      idle = 0;
    } else if (sent != net::kAgain) {
      return false;
    } else {
      const int ready = net::WaitFor(socket, true, kSliceMs);
      if (ready < 0) return false;
      if (ready == 0) idle += kSliceMs;
    }
  }
  return true;
}

void LoopbackServer::Answer(net::Socket socket, const HttpResponse& response) {
  std::string head =
      "HTTP/1.1 " + std::to_string(response.status) + " " + Reason(response.status) + "\r\n";
  for (const auto& [name, value] : response.headers) {
    head += OneLine(name) + ": " + OneLine(value) + "\r\n";
  }
  if (response.stream && !response.cut) {
    head += "Transfer-Encoding: chunked\r\n";
  } else {
    // A cut answer promises a body it never sends.
    const std::size_t promised = response.cut ? response.body.size() + 16 : response.body.size();
    head += "Content-Length: " + std::to_string(promised) + "\r\n";
  }
  head += "Connection: close\r\n\r\n";
  if (response.cut) {
    Send(socket, head);
    return;
  }
  if (!response.stream) {
    Send(socket, head + response.body);
    return;
  }
  bool open = Send(socket, head);
  response.stream([&](std::string_view piece) {
    char size[24];
    const auto end = std::to_chars(size, size + sizeof size, piece.size(), 16).ptr;
    if (open && !piece.empty()) {
      open = Send(socket, std::string(size, end) + "\r\n" + std::string(piece) + "\r\n");
    }
    return open;
  });
  if (open) Send(socket, "0\r\n\r\n");
}

}  // namespace tovalix::sim
