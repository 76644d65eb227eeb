// The Optimum's two exchanges, built on the serial link's generic one: the terminal takes its
// commands as they are (no hex text) and frames its answers with three length digits.
#pragma once

#include <cstdint>
#include <string_view>

#include "serial/serial_link.hpp"

namespace tovalix::drivers::optimum {

// How the Optimum's bytes look on the link.
inline constexpr serial::SerialLink::Format kFormat{serial::FrameShape::kOptimum, false};

inline constexpr double kPlazoRecibeOptimum = 50;  // EnviaRecibeOptimum, seconds
inline constexpr double kPlazoOptimum = 30;        // EnviaOptimum, seconds

// After a 1 s pause writes the command as it is and waits up to 50 s. The acceptance ("P" code
// "A00") is followed by the answer frame. Returns 0 when the Optimum finished the command ("P"
// code "A", or "P60"), its two-digit error number when it refused it ("E" code "A" nn), 99 when
// no answer came. A failing port is reported and gives 99.
std::int16_t EnviaRecibeOptimum(serial::SerialLink& link, std::string_view comando,
                                std::string_view codigo);

// After a 1 s pause writes the command as it is and waits up to 30 s. 1 when accepted ("P" code
// "A"), 0 when refused ("E" code "A", "P60") or nothing came, the digit of a short "vxv" status
// answer.
std::int16_t EnviaOptimum(serial::SerialLink& link, std::string_view comando,
                          std::string_view codigo);

}  // namespace tovalix::drivers::optimum
