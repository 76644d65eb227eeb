// When is a whole frame in the receive buffer? Bytes are taken from the port as they arrive,
// so an answer is often seen in pieces; a piece must never be judged (and NAKed) as if it were
// the frame. Each PIN pad family says by its structure where its frame ends:
//   Ingenico    STX, 3-letter command, 2-byte length (high byte first), data, ETX, LRC
//   Optimum     STX, 3 ASCII decimal digits of length, message, ETX, LRC
//   Vx810       chip frames (STX "C3n" ...) carry a 2-byte length: right after the command
//               when it reads as a plausible length, otherwise after two ASCII status
//               characters ("C30" "21" length data); a status alone may come without a
//               length ("C30" "06" ETX LRC); text frames (STX text ETX LRC) end at
//               their first ETX, which their printable text cannot hold, plus one LRC byte
//   text        text frames as for the Vx810
// Quiet time on the line is only the caller's secondary guard: a buffer holding no frame shape
// at all, or a length that promises more than comes, is a wrong frame once the line is quiet;
// and as the Vx810's two bytes after a status are our reading of a length, not its word, a
// Vx810 frame that ends in ETX and a right LRC is whole once the line is quiet after it.
#pragma once

#include <cstddef>
#include <string_view>

namespace tovalix::serial {

enum class FrameShape { kIngenico, kVx810, kOptimum, kText };

struct FrameScan {
  enum State {
    kNone,      // no frame has begun (no STX that can start one)
    kPartial,   // a frame has begun and is not whole yet: wait for more bytes
    kComplete,  // a whole frame lies at [begin, end)
  };
  State state = kNone;
  std::size_t begin = 0;
  std::size_t end = 0;
};

// Looks for the first whole frame of `shape` that starts at or after `from`. Every STX is a
// candidate start; a candidate whose structure does not hold (no ETX where its length says)
// is not a frame. Never throws; any bytes are accepted.
FrameScan ScanFrame(FrameShape shape, std::string_view bytes, std::size_t from = 0) noexcept;

}  // namespace tovalix::serial
