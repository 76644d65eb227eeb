// A payment gateway on loopback HTTP for tests, the demo and integrators: it reads the form
// text of every POST, keeps each request for inspection, and answers in response headers the
// way the real gateway does. Every answer starts as an approval for the request's
// process_type; a script may then change the status, headers, delay or drop the connection.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/gateway/form_decoder.hpp"
#include "sim/http/loopback_server.hpp"

namespace tovalix::sim {

struct GatewayRequest {
  std::string method;
  std::string path;
  std::string content_type;
  std::string body;             // as it arrived, before decoding
  std::vector<FormPair> pairs;  // decoded, in the order sent

  // Value of the first pair named `name` (exact), "" when there is none.
  std::string Value(std::string_view name) const;
  bool Has(std::string_view name) const;
  std::vector<std::string> Names() const;
};

struct GatewayAnswer {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;  // names as written
  std::string body;
  std::chrono::milliseconds delay{0};  // wait before answering (cut short by Stop)
  bool drop = false;                   // close the connection in the middle of the answer
  std::size_t stream_bytes = 0;        // when set: that many filler bytes as a chunked body instead

  // Replaces the header `name` (exact) or appends it.
  GatewayAnswer& Set(const std::string& name, std::string value);
  // Leaves the header `name` out of the answer.
  GatewayAnswer& Remove(std::string_view name);
  // Value of header `name`, "" when absent.
  std::string Header(std::string_view name) const;
};

// The counter's fixed data. Teller kCajero signs in with NIP kNipCajero and a card (and out
// with neither); any other teller or NIP gets "status" "0". Remittance orders numbered "ORD-"
// are looked up in a book holding kOrden alone: it is available and pays, any other "ORD-"
// order gets "response_code" "0", "La orden no existe". TellersCheck knows kCajero alone.
inline constexpr std::string_view kCajero = "12345678";
inline constexpr std::string_view kNipCajero = "1234";
inline constexpr std::string_view kNombreCajero = "CAJERO SIMULADO";
inline constexpr std::string_view kOrden = "ORD-7";

// The answer the simulator gives `request` by its process_type (CDSaleCancel, CDCash,
// CDInitPOS, GCActivateCard ... GCCancel, OREXCheck, OREXPay, ConnectUser, Log, GCSetNip,
// TellersCheck): an approval, or a refusal where the counter's data above say so; any other
// process_type gets status 200 with no gateway headers. Any path is served, so the banking
// agent's "/corresponsal/login.asp" and "/corresponsal/log.asp" too. `sequence` numbers the
// request (1 for the first) and makes the ids of the answer distinct.
GatewayAnswer Approval(const GatewayRequest& request, std::size_t sequence);

class GatewaySimulator {
 public:
  // Changes the approval before it is sent. Runs on a server thread, one request at a time.
  using Script = std::function<void(const GatewayRequest&, GatewayAnswer&)>;

  // Listens on `host`:`port` (0 chooses a free port) and serves until Stop or destruction.
  // Throws std::runtime_error when it cannot listen.
  explicit GatewaySimulator(int port = 0, const std::string& host = "127.0.0.1");
  ~GatewaySimulator();
  GatewaySimulator(const GatewaySimulator&) = delete;
  GatewaySimulator& operator=(const GatewaySimulator&) = delete;

  int Port() const { return server_.Port(); }
  // "http://<host>:<port>/gateway.asp". Any path is served; each request records its own.
  std::string Url() const;

  void SetScript(Script script);

  // Every request received so far, in order of arrival.
  std::vector<GatewayRequest> Requests() const;
  std::size_t RequestCount() const;
  // Body bytes of stream_bytes answers the connection took so far (a client that gives up
  // early stops the count).
  std::size_t StreamedBytes() const { return streamed_.load(); }

  // Stops serving; a delayed answer is cut short. Prompt and idempotent.
  void Stop();

 private:
  // Turns one HTTP request into the simulator's answer.
  void Respond(const HttpRequest& in, HttpResponse& out);
  void Handle(const GatewayRequest& request, GatewayAnswer& answer);

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::vector<GatewayRequest> requests_;
  Script script_;
  std::atomic<std::size_t> streamed_{0};
  // Last: it serves only once everything its handler uses exists, and stops first.
  LoopbackServer server_;
};

}  // namespace tovalix::sim
