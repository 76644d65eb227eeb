// The one gateway client: posts a record's fields for a process and returns the gateway's
// answer, which arrives in response headers.
#pragma once

#include <cstdint>
#include <string>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "gateway/pin_pad.hpp"

namespace tovalix::gateway {

// Posts `record` (read, never changed) to `url` for `process` (1, 3, 4, 5, 7, 11, 32, 33 or
// 40) with every time-out set to `timeout` whole seconds (bounded as TimeoutMilliseconds
// says), and returns the mapped answer of a status-200 exchange as the gateway gave it. Any
// other status shows "TOVALIX: ERROR AL MANDAR AL SERVIDOR QUELVAN Http Status " and returns
// ResultadoDefault. Any failure (gateway out of reach or silent, an answer over the size
// caps, a missing or non-numeric header, an unknown process) is reported with the common error
// report (box and log line) and returns ResultadoDefault too. Never throws; one request, never
// retried.
Dictionary WebTransaction(const PinPad& record, const std::string& url, std::int16_t process,
                          const std::string& timeout, Operator& op);

// What became of one WebTransaction request, for those who must know whether the gateway may
// have acted on it although no answer came back.
struct WebOutcome {
  bool sent = false;      // some of the request went out: the gateway may have it
  bool answered = false;  // a status-200 answer with every header the process needs arrived
  int status = 0;         // the HTTP status of an answer, 0 when none arrived
};

// WebTransaction as above, telling in `outcome` how far the request got.
Dictionary WebTransaction(const PinPad& record, const std::string& url, std::int16_t process,
                          const std::string& timeout, Operator& op, WebOutcome& outcome);

}  // namespace tovalix::gateway
