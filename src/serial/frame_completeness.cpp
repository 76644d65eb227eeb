#include "serial/frame_completeness.hpp"

#include "serial/generales.hpp"

namespace tovalix::serial {
namespace {

// Longest data a 2-byte length may announce before we take it for something else (the
// largest frame sent is the Ingenico logo, 513 data bytes; EMV answers stay well below).
constexpr std::size_t kMaxData = 2048;

unsigned Byte(std::string_view bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Outcome for one candidate start. `*end` is set for a whole frame, and for a partial one
// whose length is already known (npos while it is not).
enum class Candidate { kNotAFrame, kPartial, kWhole };

constexpr std::size_t kUnknown = std::string_view::npos;

// A frame of `total` bytes from `start`, whose ETX is its second-to-last byte.
Candidate Sized(std::string_view bytes, std::size_t start, std::size_t total, std::size_t* end) {
  *end = start + total;
  if (bytes.size() - start < total) return Candidate::kPartial;        // need more bytes
  if (bytes[start + total - 2] != kEtx) return Candidate::kNotAFrame;  // length lied: no STX here
  return Candidate::kWhole;
}

bool IsCommandCharacter(char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'Z');
}

// STX, 2 big-endian length bytes at `length_at`, then data, ETX, LRC.
Candidate BinaryLength(std::string_view bytes, std::size_t start, std::size_t length_at,
                       std::size_t* end) {
  if (bytes.size() - start < length_at + 2) return Candidate::kPartial;  // need the length
  const std::size_t data = Byte(bytes, start + length_at) << 8 | Byte(bytes, start + length_at + 1);
  if (data > kMaxData) return Candidate::kNotAFrame;
  return Sized(bytes, start, length_at + 2 + data + 2, end);
}

Candidate Ingenico(std::string_view bytes, std::size_t start, std::size_t* end) {
  // The command is three capital letters or digits; a stray 02 seldom passes for one.
  for (std::size_t i = 1; i <= 3 && start + i < bytes.size(); ++i) {
    if (!IsCommandCharacter(bytes[start + i])) return Candidate::kNotAFrame;
  }
  return BinaryLength(bytes, start, 4, end);
}

Candidate Optimum(std::string_view bytes, std::size_t start, std::size_t* end) {
  if (bytes.size() - start < 4) return Candidate::kPartial;  // need the three digits
  for (std::size_t i = 1; i <= 3; ++i) {
    if (!IsDigit(bytes[start + i])) return Candidate::kNotAFrame;
  }
  const std::size_t message = static_cast<std::size_t>(bytes[start + 1] - '0') * 100 +
                              static_cast<std::size_t>(bytes[start + 2] - '0') * 10 +
                              static_cast<std::size_t>(bytes[start + 3] - '0');
  return Sized(bytes, start, 4 + message + 2, end);
}

// Text frames: their first ETX closes them, the next byte is the LRC.
Candidate Text(std::string_view bytes, std::size_t start, std::size_t* end) {
  const std::size_t etx = bytes.find(kEtx, start + 1);
  if (etx == std::string_view::npos) return Candidate::kPartial;  // need the ETX
  *end = etx + 2;
  if (etx + 1 >= bytes.size()) return Candidate::kPartial;  // need the LRC
  return Candidate::kWhole;
}

Candidate Vx810(std::string_view bytes, std::size_t start, std::size_t* end) {
  const std::size_t have = bytes.size() - start;
  // A chip frame is STX "C3" and a digit; until three bytes are there we cannot tell.
  if (have >= 2 && bytes[start + 1] != 'C') return Text(bytes, start, end);
  if (have >= 3 && bytes[start + 2] != '3') return Text(bytes, start, end);
  if (have < 4) return Candidate::kPartial;  // need the command
  if (!IsDigit(bytes[start + 3])) return Text(bytes, start, end);
  if (have < 5) return Candidate::kPartial;  // need the length or the status
  // A length right after the command starts with a small high byte; ASCII status digits
  // ("00", "21") do not, and the length follows them.
  const std::size_t length_at = Byte(bytes, start + 4) <= (kMaxData >> 8) ? 4 : 6;
  // An answer that is a status alone ("C30" "06", "C31" "30") may come with no length at
  // all: ETX right where the length would be. Its LRC tells it from a length whose high
  // byte happens to be 03.
  if (have > length_at && bytes[start + length_at] == kEtx) {
    if (have < length_at + 2) return Candidate::kPartial;  // need the LRC
    const std::string_view body = bytes.substr(start + 1, length_at - 1);
    if (CalculaLRC(body) == Byte(bytes, start + length_at + 1)) {
      *end = start + length_at + 2;
      return Candidate::kWhole;
    }
  }
  return BinaryLength(bytes, start, length_at, end);
}

Candidate Judge(FrameShape shape, std::string_view bytes, std::size_t start, std::size_t* end) {
  switch (shape) {
    case FrameShape::kIngenico:
      return Ingenico(bytes, start, end);
    case FrameShape::kOptimum:
      return Optimum(bytes, start, end);
    case FrameShape::kVx810:
      return Vx810(bytes, start, end);
    case FrameShape::kText:
      break;
  }
  return Text(bytes, start, end);
}

}  // namespace

FrameScan ScanFrame(FrameShape shape, std::string_view bytes, std::size_t from) noexcept {
  FrameScan scan;
  // An STX inside a frame that has begun and is not whole yet is that frame's data: it must not
  // be taken for a (short, complete-looking) frame of its own.
  std::size_t unfinished_until = 0;
  for (std::size_t start = bytes.find(kStx, from); start != std::string_view::npos;
       start = bytes.find(kStx, start + 1)) {
    if (start < unfinished_until) continue;  // nested in an unfinished frame
    std::size_t end = kUnknown;
    switch (Judge(shape, bytes, start, &end)) {
      case Candidate::kWhole:
        return FrameScan{FrameScan::kComplete, start, end};
      case Candidate::kPartial:
        if (scan.state == FrameScan::kNone) scan = FrameScan{FrameScan::kPartial, start, 0};
        unfinished_until = end;  // npos while its length is unknown: everything after waits
        break;
      case Candidate::kNotAFrame:
        break;  // resynchronise on the next STX
    }
  }
  return scan;
}

}  // namespace tovalix::serial
