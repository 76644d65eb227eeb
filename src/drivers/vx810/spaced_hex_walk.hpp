// A cursor over an answer in spaced hex, the way the Vx810 parsers read it: a token is two
// digits and the blank after them; to skip a token is to drop the text up to and including
// the first blank. Every step is bounds checked; a token that is not two hex digits where a
// number is needed throws Failure, which ends the parse at its boundary.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/failure.hpp"

namespace tovalix::drivers::vx810 {

class SpacedHexWalk {
 public:
  explicit SpacedHexWalk(std::string_view text) : rest_(text) {}

  std::string_view Rest() const { return rest_; }

  // The token under the cursor with its blank (fewer characters at the end of the text).
  std::string_view Token() const { return rest_.substr(0, 3); }

  void Skip() {
    const std::size_t blank = rest_.find(' ');
    rest_ = blank == std::string_view::npos ? std::string_view() : rest_.substr(blank + 1);
  }
  void Skip(std::size_t count) {
    for (std::size_t i = 0; i < count && !rest_.empty(); ++i) Skip();
  }

  // The token's two digits read as hex.
  int Value() const {
    if (rest_.size() < 2) throw Failure("Fin inesperado de la respuesta");
    const int high = Digit(rest_[0]);
    const int low = Digit(rest_[1]);
    if (high < 0 || low < 0) throw Failure("No coinciden los tipos");
    return high * 16 + low;
  }

  // The character a token stands for.
  char Character() const { return static_cast<char>(Value()); }

  // Moves to `offset` characters past the first `marker` in the remaining text; false (and no
  // move) when the marker is absent.
  bool MoveAfter(std::string_view marker, std::size_t offset) {
    const std::size_t at = rest_.find(marker);
    if (at == std::string_view::npos) return false;
    const std::size_t next = at + offset;
    rest_ = next >= rest_.size() ? std::string_view() : rest_.substr(next);
    return true;
  }

 private:
  static int Digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  }

  std::string_view rest_;
};

// Answer bytes are characters of their own Unicode value (Latin-1); text in the library is
// UTF-8.
inline std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

}  // namespace tovalix::drivers::vx810
