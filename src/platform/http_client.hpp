// The HTTP seam: one synchronous POST and what came back. The gateway posts form text through
// it and reads its answer from response headers; the airtime service posts XML and reads the
// body. Exactly one backend per platform implements it (posix/curl_http_client.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tovalix::platform {

// No phase of an exchange waits longer than this: a limit of 0, negative or above it counts as
// this one, so the whole exchange ends within four times it.
inline constexpr std::int32_t kLongestPhaseMs = 120000;

// The most an answer may carry. Past either, the transfer stops and Post fails the way it does
// for a connection that broke after the request went out.
inline constexpr std::size_t kMaxBodyBytes = std::size_t{1} << 20;  // 1 MiB
inline constexpr std::size_t kMaxHeaderBytes = std::size_t{64}
                                               << 10;  // 64 KiB, status line included

// The four limits of one exchange, in milliseconds (each bounded by kLongestPhaseMs).
struct HttpTimeouts {
  std::int32_t resolve_ms = 0;  // looking up the host name
  std::int32_t connect_ms = 0;  // opening the connection (TLS handshake included)
  std::int32_t send_ms = 0;     // longest pause while the request goes out
  std::int32_t receive_ms = 0;  // longest wait for the next bytes of the answer

  // The same value for all four, the way the gateway and airtime callers set them.
  static HttpTimeouts All(std::int32_t ms) { return {ms, ms, ms, ms}; }
};

// One request object, used for one exchange at a time on the caller's thread. Not shared
// between threads. Every failure is a tovalix::Failure whose text the operator can read.
class HttpClient {
 public:
  virtual ~HttpClient() = default;

  // Called before Post; applies to every later Post of this object. Never fails.
  virtual void SetTimeouts(const HttpTimeouts& timeouts) = 0;

  // Sends `body` to `url` ("http://..." or "https://...", certificates verified) as a POST
  // with the header "Content-Type: <content_type>" and waits for the whole answer. Returns
  // when any answer arrived, whatever its status. Throws Failure when the URL is not usable,
  // the host cannot be resolved or reached, a time-out expires, the certificate is refused,
  // the connection breaks before the answer is complete or the answer is larger than
  // kMaxBodyBytes / kMaxHeaderBytes (the transfer then stops there), and before anything is
  // sent when `url` is plain http to another machine (safe_address.hpp); the previous answer
  // is then gone.
  virtual void Post(const std::string& url, std::string_view content_type,
                    std::string_view body) = 0;

  // After a Post, whether it returned or threw: true when any part of the request left over
  // an open connection, so the server may have acted on it. False when the host could not
  // be resolved or reached, or before any Post. A backend that cannot tell says true.
  virtual bool RequestSent() const { return true; }

  // After a Post that returned: the HTTP status code (200, 500, ...). Throws Failure when no
  // answer is held.
  virtual int Status() const = 0;

  // After a Post that returned: the value of the response header `name` (compared without
  // regard to case; blanks around the value removed; the first one when it came several
  // times). Throws Failure when the answer has no such header or no answer is held.
  virtual std::string ResponseHeader(std::string_view name) const = 0;

  // After a Post that returned: the body of the answer as bytes (empty when it had none).
  // Throws Failure when no answer is held.
  virtual const std::string& Body() const = 0;
};

// The platform's backend. Never returns null; throws Failure when the HTTP library cannot be
// initialised.
std::unique_ptr<HttpClient> MakeHttpClient();

}  // namespace tovalix::platform
