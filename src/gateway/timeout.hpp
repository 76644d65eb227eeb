// The gateway's time-out setting is a text of whole seconds; the HTTP component wants
// milliseconds.
#pragma once

#include <cstdint>
#include <string_view>

namespace tovalix::gateway {

// `seconds` rounded to a whole number (halves to even) times 1000: "55" -> 55000,
// "2.5" -> 2000. Throws Failure "No coinciden los tipos" when the text is not a number and
// "Desbordamiento" when the seconds or the product do not fit in 32 bits.
std::int32_t TimeoutMilliseconds(std::string_view seconds);

}  // namespace tovalix::gateway
