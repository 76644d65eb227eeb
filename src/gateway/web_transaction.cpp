#include "gateway/web_transaction.hpp"

#include <utility>

#include "common/error_report.hpp"
#include "common/failure.hpp"
#include "common/text_encoding.hpp"
#include "gateway/answer_mapping.hpp"
#include "gateway/process.hpp"
#include "gateway/resultado_default.hpp"
#include "gateway/timeout.hpp"
#include "gateway/wire_format.hpp"
#include "platform/http_client.hpp"

namespace tovalix::gateway {

Dictionary WebTransaction(const PinPad& record, const std::string& url, std::int16_t process,
                          const std::string& timeout, Operator& op) {
  WebOutcome ignored;
  return WebTransaction(record, url, process, timeout, op, ignored);
}

Dictionary WebTransaction(const PinPad& record, const std::string& url, std::int16_t process,
                          const std::string& timeout, Operator& op, WebOutcome& outcome) {
  outcome = WebOutcome{};
  Dictionary result;
  RunTrapped(op, [&] {
    result = ResultadoDefault(record, process);
    // Posting an empty body for a code the gateway does not know would only earn a refusal.
    if (!IsKnownProcess(process)) {
      throw Failure("Proceso de gateway no válido: " + std::to_string(process));
    }
    const std::int32_t milliseconds = TimeoutMilliseconds(timeout);
    const auto http = platform::MakeHttpClient();
    http->SetTimeouts(platform::HttpTimeouts::All(milliseconds));
    try {
      http->Post(url, "application/x-www-form-urlencoded", FormBody(record, process));
    } catch (...) {
      outcome.sent = http->RequestSent();
      throw;
    }
    outcome.sent = true;  // an answer came, so the request reached the gateway
    outcome.status = http->Status();
    if (outcome.status != 200) {
      op.MessageBox("TOVALIX: ERROR AL MANDAR AL SERVIDOR QUELVAN Http Status ", Operator::kPlain,
                    "");
      return;
    }
    Dictionary answer = MapAnswer(record, process, [&](std::string_view name) {
      return ToUtf8Lenient(http->ResponseHeader(name));
    });
    result = std::move(answer);
    outcome.answered = true;
  });
  return result;
}

}  // namespace tovalix::gateway
