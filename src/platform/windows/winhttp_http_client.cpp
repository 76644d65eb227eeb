// HttpClient over WinHTTP, synchronous. WinHTTP has the four limits of its own; the response
// limit is set too, because the receive limit alone does not bound the wait for the headers
// everywhere. A status callback tells whether any of the request left, so that a failure after
// that is known to be one the server may have acted on.
#include <windows.h>
// windows.h first: winhttp.h needs its types.
#include <winhttp.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "common/failure.hpp"
#include "common/number_text.hpp"
#include "platform/http_client.hpp"
#include "platform/safe_address.hpp"
#include "platform/windows/system_error.hpp"
#include "platform/windows/wide_text.hpp"

namespace tovalix::platform {
namespace {

class Internet {
 public:
  explicit Internet(HINTERNET handle = nullptr) : handle_(handle) {}
  ~Internet() {
    if (handle_ != nullptr) WinHttpCloseHandle(handle_);
  }
  Internet(Internet&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  Internet& operator=(Internet&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  HINTERNET get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  HINTERNET handle_;
};

constexpr const char* kTooLarge =
    "La conexión con el servidor se interrumpió (la respuesta excede el tamaño permitido)";

std::string DescribeFailure(DWORD code) {
  if (code == ERROR_WINHTTP_HEADER_SIZE_OVERFLOW) return kTooLarge;
  std::string text;
  switch (code) {
    case ERROR_WINHTTP_TIMEOUT:
    case WSAETIMEDOUT:  // what wine's WinHTTP gives for a receive time-out
      text = "Se agotó el tiempo de espera de la operación";
      break;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      text = "No se pudo resolver el nombre del servidor";
      break;
    case ERROR_WINHTTP_CANNOT_CONNECT:
      text = "No se puede establecer una conexión con el servidor";
      break;
    case ERROR_WINHTTP_INVALID_URL:
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
      text = "La dirección URL no es válida";
      break;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
      text = "No se pudo establecer una conexión segura con el servidor";
      break;
    default:
      text = "La conexión con el servidor se interrumpió";
      break;
  }
  return text + " (" + SystemErrorText(code) + ")";
}

[[noreturn]] void FailWith(DWORD code) {
  throw Failure(DescribeFailure(code));
}

// A phase without a usable limit of its own gets the longest one: WinHTTP would read 0 as none.
int Limit(std::int32_t ms) {
  return ms > 0 && ms <= kLongestPhaseMs ? ms : kLongestPhaseMs;
}

// Set on the request's handle: WinHTTP calls it on this thread while a synchronous call runs.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
  if (status == WINHTTP_CALLBACK_STATUS_SENDING_REQUEST && context != 0) {
    *reinterpret_cast<bool*>(context) = true;
  }
}

class WinHttpClient final : public HttpClient {
 public:
  void SetTimeouts(const HttpTimeouts& timeouts) override { timeouts_ = timeouts; }

  void Post(const std::string& url, std::string_view content_type, std::string_view body) override {
    answered_ = false;
    request_sent_ = false;
    body_.clear();
    request_ = Internet();
    if (!IsSafeAddress(url)) throw Failure("TOVALIX: " + UnsafeAddressText(url));
    if (body.size() > MAXDWORD) throw Failure("La solicitud es demasiado grande");

    std::wstring wide_url = WideText(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wide_url.c_str(), 0, 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
      throw Failure("La dirección URL no es válida");
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = L"/";

    session_ = Internet(WinHttpOpen(L"Tovalix", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session_) FailWith(GetLastError());
    connection_ = Internet(WinHttpConnect(session_.get(), host.c_str(), parts.nPort, 0));
    if (!connection_) FailWith(GetLastError());
    request_ = Internet(
        WinHttpOpenRequest(connection_.get(), L"POST", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                           WINHTTP_DEFAULT_ACCEPT_TYPES,
                           parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    if (!request_) FailWith(GetLastError());

    DWORD no_redirects = WINHTTP_DISABLE_REDIRECTS;
    DWORD header_limit = static_cast<DWORD>(kMaxHeaderBytes);
    DWORD response_limit = static_cast<DWORD>(Limit(timeouts_.receive_ms));
    if (!WinHttpSetTimeouts(request_.get(), Limit(timeouts_.resolve_ms),
                            Limit(timeouts_.connect_ms), Limit(timeouts_.send_ms),
                            Limit(timeouts_.receive_ms)) ||
        !WinHttpSetOption(request_.get(), WINHTTP_OPTION_DISABLE_FEATURE, &no_redirects,
                          sizeof no_redirects) ||
        !WinHttpSetOption(request_.get(), WINHTTP_OPTION_MAX_RESPONSE_HEADER_SIZE, &header_limit,
                          sizeof header_limit)) {
      FailWith(GetLastError());
    }
    // Not every WinHTTP knows this option; the receive limit then bounds the wait alone.
    WinHttpSetOption(request_.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &response_limit,
                     sizeof response_limit);
    WinHttpSetStatusCallback(request_.get(), OnStatus, WINHTTP_CALLBACK_FLAG_SEND_REQUEST, 0);

    const std::wstring headers = L"Content-Type: " + WideText(content_type);
    const BOOL sent = WinHttpSendRequest(
        request_.get(), headers.c_str(), static_cast<DWORD>(-1), const_cast<char*>(body.data()),
        static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()),
        reinterpret_cast<DWORD_PTR>(&request_sent_));
    if (!sent || !WinHttpReceiveResponse(request_.get(), nullptr)) {
      const DWORD code = GetLastError();
      // A failure before the callback fired never reached the server; after it, it may have.
      throw Failure(DescribeFailure(code));
    }
    request_sent_ = true;

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
      FailWith(GetLastError());
    }
    headers_ = RawHeaders();
    ReadBody();
    // WinHTTP may end the body quietly where the server closed: short of its length, the
    // answer is broken, as curl reports it.
    DWORD length = 0;
    size = sizeof length;
    if (WinHttpQueryHeaders(
            request_.get(), WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
            WINHTTP_HEADER_NAME_BY_INDEX, &length, &size, WINHTTP_NO_HEADER_INDEX) &&
        body_.size() < length) {
      body_.clear();
      FailWith(ERROR_WINHTTP_CONNECTION_ERROR);
    }
    status_ = static_cast<int>(status);
    answered_ = true;
  }

  bool RequestSent() const override { return request_sent_; }

  int Status() const override {
    RequireAnswer();
    return status_;
  }

  // Read from the header lines as they came: a WinHTTP lookup by name may answer for a
  // header of its own ("status" gives the status code under wine).
  std::string ResponseHeader(std::string_view name) const override {
    RequireAnswer();
    std::string_view rest = headers_;
    rest.remove_prefix(std::min(rest.find('\n') + 1, rest.size()));  // the status line
    while (!rest.empty()) {
      const std::size_t end = std::min(rest.find('\n'), rest.size());
      const std::string_view line = rest.substr(0, end);
      rest.remove_prefix(std::min(end + 1, rest.size()));
      const std::size_t colon = line.find(':');
      if (colon != line.npos && SameName(line.substr(0, colon), name)) {
        return std::string(TrimWhiteSpace(line.substr(colon + 1)));
      }
    }
    throw Failure("No se encontró el encabezado solicitado: " + std::string(name));
  }

  const std::string& Body() const override {
    RequireAnswer();
    return body_;
  }

 private:
  void ReadBody() {
    for (;;) {
      DWORD available = 0;
      if (!WinHttpQueryDataAvailable(request_.get(), &available)) FailWith(GetLastError());
      if (available == 0) return;
      if (body_.size() + available > kMaxBodyBytes) {
        body_.clear();
        throw Failure(kTooLarge);
      }
      const std::size_t before = body_.size();
      body_.resize(before + available);
      DWORD read = 0;
      if (!WinHttpReadData(request_.get(), body_.data() + before, available, &read)) {
        FailWith(GetLastError());
      }
      body_.resize(before + read);
    }
  }

  // The header lines of the answer as the bytes the server sent, which the callers decode as
  // they decode curl's. WinHTTP widens each byte either to the character of the same number or
  // through the ANSI code page: both are undone. Past kMaxHeaderBytes the answer is refused,
  // for a WinHTTP that does not enforce its own limit.
  std::string RawHeaders() const {
    DWORD size = 0;
    WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF,
                        WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) FailWith(GetLastError());
    if (size / sizeof(wchar_t) > kMaxHeaderBytes) throw Failure(kTooLarge);
    std::wstring wide(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF,
                             WINHTTP_HEADER_NAME_BY_INDEX, wide.data(), &size,
                             WINHTTP_NO_HEADER_INDEX)) {
      FailWith(GetLastError());
    }
    wide.resize(size / sizeof(wchar_t));
    std::string bytes;
    bytes.reserve(wide.size());
    for (const wchar_t c : wide) {
      char byte = '?';
      BOOL lossy = FALSE;
      if (c <= 0xFF) {
        byte = static_cast<char>(c);
      } else if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &c, 1, &byte, 1, nullptr,
                                     &lossy) != 1 ||
                 lossy) {
        byte = '?';
      }
      bytes += byte;
    }
    return bytes;
  }

  static bool SameName(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return lower(x) == lower(y); });
  }

  void RequireAnswer() const {
    if (!answered_) throw Failure("La solicitud HTTP no ha recibido respuesta");
  }

  HttpTimeouts timeouts_;
  Internet session_;
  Internet connection_;
  Internet request_;
  bool answered_ = false;
  bool request_sent_ = false;
  int status_ = 0;
  std::string headers_;
  std::string body_;
};

}  // namespace

std::unique_ptr<HttpClient> MakeHttpClient() {
  return std::make_unique<WinHttpClient>();
}

}  // namespace tovalix::platform
