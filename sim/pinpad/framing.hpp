// The simulators' own framing: how a simulated PIN pad cuts the bytes it receives into units
// and builds the frames it answers with. Written apart from the drivers' command sets on
// purpose, so that a mistake in one is caught by the other; only the LRC is shared.
//
// A unit is either a whole frame (it starts with STX) or one byte outside any frame (ACK, NAK,
// EOT, ENQ, or garbage).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tovalix::sim {

// Length of the unit at the start of `pending`, 0 while it is not whole yet. Any bytes.
using Framing = std::size_t (*)(std::string_view pending);

// STX, text, ETX, LRC: the frame ends one byte after its first ETX (Vx810 text commands).
std::size_t TextFraming(std::string_view pending);
// STX, 3-letter command, 2-byte length high byte first, data, ETX, LRC (Ingenico; the Vx810
// chip commands C30, C31, C34).
std::size_t LengthFraming(std::string_view pending);
// STX, three ASCII digits of length, message, ETX, LRC (Optimum).
std::size_t OptimumFraming(std::string_view pending);
// Vx810: STX "C3" digit is a length frame, any other STX a text frame.
std::size_t Vx810Framing(std::string_view pending);

// LRC of a frame body: exclusive-or of its bytes and of ETX.
char Lrc(std::string_view body);

// STX body ETX LRC.
std::string TextFrame(std::string_view body);
// STX command, length of `data` (2 bytes, high first), data, ETX, LRC.
std::string LengthFrame(std::string_view command, std::string_view data);
// STX, the three digits of the length of `message`, message, ETX, LRC.
std::string OptimumFrame(std::string_view message);
// `frame` with its LRC byte replaced by a wrong one.
std::string WithWrongLrc(std::string frame);

// "02 43 46 31 " style dump for failure messages.
std::string Hex(std::string_view bytes);

}  // namespace tovalix::sim
