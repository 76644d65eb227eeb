// The serial-number request of the PIN pads that frame text (the Vx810, the Nurit 293): the
// request "06" and the number read out of its answer at each model's place.
#pragma once

#include <cstddef>
#include <string>

#include <tovalix/operator.hpp>

#include "serial/serial_link.hpp"

namespace tovalix::drivers {

// Exchanges `request` with EnviaRecibe on an open link, with no expected answer code (any
// whole frame with a right LRC is the answer). The serial number is the `length` characters
// that begin `offset` after the first "06" of the answer, without "-", read as a number and
// written back in decimal. "" when the exchange fails or the answer holds no serial number (the
// operator is told: a serial number 0 must not pass). Never throws.
std::string ReadSerialNumber(serial::SerialLink& link, Operator& op, const std::string& request,
                             std::size_t offset, std::size_t length);

}  // namespace tovalix::drivers
