// HttpClient over libcurl. libcurl has no separate resolve, send and receive limits: the
// connection time-out covers resolve and connect, a progress callback bounds each pause while
// sending and while waiting for the answer, and the whole-transfer time-out caps the sum.
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "common/failure.hpp"
#include "common/number_text.hpp"
#include "platform/http_client.hpp"
#include "platform/safe_address.hpp"

namespace tovalix::platform {
namespace {

using SteadyClock = std::chrono::steady_clock;

void InitialiseCurlOnce() {
  static std::once_flag once;
  static CURLcode outcome = CURLE_OK;
  std::call_once(once, [] { outcome = curl_global_init(CURL_GLOBAL_DEFAULT); });
  if (outcome != CURLE_OK) {
    throw Failure(std::string("No se pudo iniciar el componente HTTP: ") +
                  curl_easy_strerror(outcome));
  }
}

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// A phase limit as it is applied: none, negative or too long counts as the longest.
std::int32_t Bounded(std::int32_t limit) {
  return limit <= 0 || limit > kLongestPhaseMs ? kLongestPhaseMs : limit;
}

// Sum of the bounded limits in milliseconds.
long CombinedLimit(std::initializer_list<std::int32_t> limits) {
  long sum = 0;
  for (const std::int32_t limit : limits) sum += Bounded(limit);
  return sum;
}

// What the callbacks of one transfer share.
struct Transfer {
  CURL* handle = nullptr;
  std::int32_t send_ms = 0;
  std::int32_t receive_ms = 0;
  std::string body;
  std::size_t header_bytes = 0;
  bool connected = false;
  bool stalled = false;
  bool oversized = false;  // the answer passed kMaxBodyBytes or kMaxHeaderBytes
  curl_off_t sent = 0;
  curl_off_t received = 0;
  SteadyClock::time_point last_activity = SteadyClock::now();
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  if (size * count > kMaxBodyBytes - transfer->body.size()) {
    transfer->oversized = true;
    return 0;  // curl ends the transfer with a write error
  }
  try {
    transfer->body.append(data, size * count);
  } catch (...) {
    return 0;  // out of memory: curl ends the transfer with a write error
  }
  transfer->last_activity = SteadyClock::now();
  return size * count;
}

std::size_t OnHeader(char*, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  transfer->header_bytes += size * count;
  if (transfer->header_bytes > kMaxHeaderBytes) {
    transfer->oversized = true;
    return 0;  // curl ends the transfer with a write error
  }
  transfer->last_activity = SteadyClock::now();
  return size * count;  // curl keeps the headers itself; curl_easy_header reads them
}

int OnProgress(void* user, curl_off_t, curl_off_t received, curl_off_t to_send, curl_off_t sent) {
  auto* transfer = static_cast<Transfer*>(user);
  const auto now = SteadyClock::now();
  if (!transfer->connected) {
    // Until the connection is up, the connection time-out is the one that counts.
    curl_off_t pretransfer = 0;
    curl_easy_getinfo(transfer->handle, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
    if (pretransfer == 0) return 0;
    transfer->connected = true;
    transfer->last_activity = now;
  }
  if (sent != transfer->sent || received != transfer->received) {
    transfer->sent = sent;
    transfer->received = received;
    transfer->last_activity = now;
  }
  const std::int32_t limit = Bounded(sent < to_send ? transfer->send_ms : transfer->receive_ms);
  if (now - transfer->last_activity > std::chrono::milliseconds(limit)) {
    transfer->stalled = true;
    return 1;  // abort: the peer went quiet for longer than allowed
  }
  return 0;
}

std::string DescribeFailure(CURLcode code, const Transfer& transfer, const char* detail) {
  if (transfer.oversized || code == CURLE_FILESIZE_EXCEEDED) {
    return "La conexión con el servidor se interrumpió (la respuesta excede el tamaño permitido)";
  }
  std::string text;
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
      text = "Se agotó el tiempo de espera de la operación";
      break;
    case CURLE_ABORTED_BY_CALLBACK:
      text = transfer.stalled ? "Se agotó el tiempo de espera de la operación"
                              : "La operación fue cancelada";
      break;
    case CURLE_COULDNT_RESOLVE_HOST:
      text = "No se pudo resolver el nombre del servidor";
      break;
    case CURLE_COULDNT_CONNECT:
      text = "No se puede establecer una conexión con el servidor";
      break;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      text = "La dirección URL no es válida";
      break;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CONNECT_ERROR:
      text = "No se pudo establecer una conexión segura con el servidor";
      break;
    default:
      text = "La conexión con el servidor se interrumpió";
      break;
  }
  const std::string reason =
      (detail != nullptr && *detail != '\0') ? detail : curl_easy_strerror(code);
  return text + " (" + reason + ")";
}

class CurlHttpClient final : public HttpClient {
 public:
  CurlHttpClient() { InitialiseCurlOnce(); }

  void SetTimeouts(const HttpTimeouts& timeouts) override { timeouts_ = timeouts; }

  void Post(const std::string& url, std::string_view content_type, std::string_view body) override {
    handle_.reset();
    body_.clear();
    request_sent_ = false;
    if (!IsSafeAddress(url)) throw Failure("TOVALIX: " + UnsafeAddressText(url));
    std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
    if (!handle) throw Failure("No se pudo crear la solicitud HTTP");
    CURL* h = handle.get();

    std::unique_ptr<curl_slist, ListDeleter> headers;
    for (const std::string& line :
         {"Content-Type: " + std::string(content_type), std::string("Expect:")}) {
      curl_slist* grown = curl_slist_append(headers.get(), line.c_str());
      if (grown == nullptr) throw Failure("Memoria insuficiente");
      static_cast<void>(headers.release());
      headers.reset(grown);
    }

    Transfer transfer;
    transfer.handle = h;
    transfer.send_ms = timeouts_.send_ms;
    transfer.receive_ms = timeouts_.receive_ms;
    char detail[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, detail);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(h, CURLOPT_COPYPOSTFIELDS, std::string(body).c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodyBytes));
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                     CombinedLimit({timeouts_.resolve_ms, timeouts_.connect_ms}));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS,
                     CombinedLimit({timeouts_.resolve_ms, timeouts_.connect_ms, timeouts_.send_ms,
                                    timeouts_.receive_ms}));

    const CURLcode code = curl_easy_perform(h);
    // Header bytes or body bytes that went out mean the gateway may have the request; so does
    // a connection that was up, since not every libcurl keeps those counts for a transfer that
    // failed half-way.
    long request_bytes = 0;
    curl_off_t body_bytes = 0;
    curl_easy_getinfo(h, CURLINFO_REQUEST_SIZE, &request_bytes);
    curl_easy_getinfo(h, CURLINFO_SIZE_UPLOAD_T, &body_bytes);
    request_sent_ = request_bytes > 0 || body_bytes > 0 || transfer.connected;
    if (code != CURLE_OK) throw Failure(DescribeFailure(code, transfer, detail));

    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    status_ = static_cast<int>(status);
    body_ = std::move(transfer.body);
    // The handle stays alive: curl_easy_header reads the headers from it.
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, nullptr);
    handle_ = std::move(handle);
  }

  bool RequestSent() const override { return request_sent_; }

  int Status() const override {
    RequireAnswer();
    return status_;
  }

  std::string ResponseHeader(std::string_view name) const override {
    RequireAnswer();
    curl_header* header = nullptr;
    const CURLHcode code =
        curl_easy_header(handle_.get(), std::string(name).c_str(), 0, CURLH_HEADER, -1, &header);
    if (code != CURLHE_OK || header == nullptr || header->value == nullptr) {
      throw Failure("No se encontró el encabezado solicitado: " + std::string(name));
    }
    // curl 7.88 hands an empty value back as its line end: trim what HTTP calls white space.
    return std::string(TrimWhiteSpace(header->value));
  }

  const std::string& Body() const override {
    RequireAnswer();
    return body_;
  }

 private:
  void RequireAnswer() const {
    if (!handle_) throw Failure("La solicitud HTTP no ha recibido respuesta");
  }

  HttpTimeouts timeouts_;
  std::unique_ptr<CURL, EasyDeleter> handle_;
  int status_ = 0;
  bool request_sent_ = false;
  std::string body_;
};

}  // namespace

std::unique_ptr<HttpClient> MakeHttpClient() {
  return std::make_unique<CurlHttpClient>();
}

}  // namespace tovalix::platform
