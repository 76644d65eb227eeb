#include "sim/pinpad/framing.hpp"

#include <stdexcept>

namespace tovalix::sim {
namespace {

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;

unsigned At(std::string_view bytes, std::size_t i) {
  return static_cast<unsigned char>(bytes[i]);
}

// A byte outside a frame is a unit of its own.
std::size_t Unframed(std::string_view pending) {
  return pending.empty() ? 0 : 1;
}

}  // namespace

std::size_t TextFraming(std::string_view pending) {
  if (pending.empty() || pending[0] != kStx) return Unframed(pending);
  const std::size_t etx = pending.find(kEtx, 1);
  if (etx == std::string_view::npos || etx + 1 >= pending.size()) return 0;  // need more
  return etx + 2;
}

std::size_t LengthFraming(std::string_view pending) {
  if (pending.empty() || pending[0] != kStx) return Unframed(pending);
  if (pending.size() < 6) return 0;  // need the length
  const std::size_t total = 1 + 3 + 2 + (At(pending, 4) << 8 | At(pending, 5)) + 2;
  return pending.size() >= total ? total : 0;
}

std::size_t OptimumFraming(std::string_view pending) {
  if (pending.empty() || pending[0] != kStx) return Unframed(pending);
  if (pending.size() < 4) return 0;  // need the digits
  std::size_t length = 0;
  for (std::size_t i = 1; i <= 3; ++i) {
    if (pending[i] < '0' || pending[i] > '9') return TextFraming(pending);  // not a length
    length = length * 10 + static_cast<std::size_t>(pending[i] - '0');
  }
  const std::size_t total = 4 + length + 2;
  return pending.size() >= total ? total : 0;
}

std::size_t Vx810Framing(std::string_view pending) {
  if (pending.empty() || pending[0] != kStx) return Unframed(pending);
  if (pending.size() < 4) return 0;  // need the command
  if (pending[1] == 'C' && pending[2] == '3' && pending[3] >= '0' && pending[3] <= '9') {
    return LengthFraming(pending);
  }
  return TextFraming(pending);
}

char Lrc(std::string_view body) {
  unsigned value = 0;
  for (const char c : body) value ^= static_cast<unsigned char>(c);
  return static_cast<char>(value ^ 0x03);
}

std::string TextFrame(std::string_view body) {
  std::string frame(1, kStx);
  frame += body;
  frame += kEtx;
  frame += Lrc(body);
  return frame;
}

std::string LengthFrame(std::string_view command, std::string_view data) {
  if (data.size() > 0xFFFF) throw std::length_error("frame data over 65535 bytes");
  std::string body(command);
  body += static_cast<char>(data.size() >> 8);
  body += static_cast<char>(data.size() & 0xFF);
  body += data;
  return TextFrame(body);
}

std::string OptimumFrame(std::string_view message) {
  if (message.size() > 999) throw std::length_error("Optimum message over 999 bytes");
  std::string digits = std::to_string(message.size());
  digits.insert(0, 3 - digits.size(), '0');
  return TextFrame(digits + std::string(message));
}

std::string WithWrongLrc(std::string frame) {
  if (!frame.empty()) frame.back() = static_cast<char>(frame.back() ^ 0x5A);
  return frame;
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
    out += ' ';
  }
  return out;
}

}  // namespace tovalix::sim
