// The time-outs the gateway hands out are texts of whole seconds; the HTTP component wants
// milliseconds. No wait is unbounded: a stored time-out that is not a whole number of seconds
// from 1 to kTiempoMaximoSegundos counts as kTiempoMaximoSegundos.
#pragma once

#include <cstdint>
#include <string_view>

namespace tovalix::gateway {

// The longest any one phase of an exchange waits, in seconds.
inline constexpr std::int32_t kTiempoMaximoSegundos = 120;

// True when `seconds` (blanks around allowed) is a whole number from 1 to 120, so that it is
// used as it stands. 0, negative, fractional, not a number, empty or above 120 is false.
bool TiempoUtilizable(std::string_view seconds);

// The seconds `seconds` stands for, times 1000: "55" -> 55000; anything TiempoUtilizable
// refuses ("0", "-1", "0.4", "abc", "", "2147483") -> 120000. Never throws.
std::int32_t TimeoutMilliseconds(std::string_view seconds);

}  // namespace tovalix::gateway
