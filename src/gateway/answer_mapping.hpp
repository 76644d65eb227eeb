// How a status-200 answer of the gateway becomes the result: each value is a response header
// whose name is fixed per process.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>

#include "gateway/pin_pad.hpp"

namespace tovalix::gateway {

// Reads one response header by name; throws Failure when the answer has no such header.
using HeaderReader = std::function<std::string(std::string_view name)>;

// The answer dictionary for `process`. Throws Failure when a header it needs is missing, or a
// header compared as a number ("pos_entry_mode" of a sale, "response_code" of a remittance
// check) is empty or not a number. The record only supplies what is echoed (ARQC, AID) and
// what chooses the keys (FunctionType, Operation_Type).
Dictionary MapAnswer(const PinPad& record, std::int16_t process, const HeaderReader& header);

}  // namespace tovalix::gateway
