// The form text posted to the gateway: name=value pairs joined by "&" in a fixed order per
// process. Values go out as they are stored (the gateway reads track data with its "=" and "^"
// raw); only "&", "%" and "+" are written as %26, %25 and %2B, because any form decoder would
// otherwise split the value, mangle an escape or turn "+" into a blank.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "gateway/pin_pad.hpp"

namespace tovalix::gateway {

// `value` with "&", "%" and "+" encoded and every other byte unchanged.
std::string EncodeFormValue(std::string_view value);

// The body for `process`. Empty for an unknown process.
std::string FormBody(const PinPad& record, std::int16_t process);

}  // namespace tovalix::gateway
