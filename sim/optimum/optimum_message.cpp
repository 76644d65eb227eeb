#include "sim/optimum/optimum_message.hpp"

#include <cstdio>

#include "sim/pinpad/framing.hpp"

namespace tovalix::sim {
namespace {

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr char kFs = 0x1C;

std::string HexByte(char c) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", static_cast<unsigned char>(c));
  return text;
}

}  // namespace

std::optional<std::string> OptimumMessage::Field(char letter) const {
  for (const auto& [name, value] : fields) {
    if (name == letter) return value;
  }
  return std::nullopt;
}

OptimumFrameCheck ReadOptimumFrame(std::string_view frame) {
  OptimumFrameCheck check;
  if (frame.size() < 6 || frame[0] != kStx) {
    check.problem = "not a frame";
    return check;
  }
  std::size_t length = 0;
  for (std::size_t i = 1; i <= 3; ++i) {
    if (frame[i] < '0' || frame[i] > '9') {
      check.problem = "length digits are not digits";
      return check;
    }
    length = length * 10 + static_cast<std::size_t>(frame[i] - '0');
  }
  const std::size_t message_size = frame.size() - 6;
  if (length != message_size) {
    check.problem = "length digits say " + std::to_string(length) + ", message has " +
                    std::to_string(message_size);
    return check;
  }
  if (frame[frame.size() - 2] != kEtx) {
    check.problem = "no ETX before the LRC";
    return check;
  }
  const char expected = Lrc(frame.substr(1, frame.size() - 3));
  if (frame.back() != expected) {
    check.problem = "LRC " + HexByte(frame.back()) + ", expected " + HexByte(expected);
    return check;
  }
  const std::string_view text = frame.substr(4, message_size);
  if (text.size() < 3) {
    check.problem = "message shorter than a command";
    return check;
  }
  OptimumMessage message;
  message.command = std::string(text.substr(0, 3));
  std::string_view rest = text.substr(3);
  while (!rest.empty()) {
    const std::size_t fs = rest.find(kFs);
    const std::string_view field = rest.substr(0, fs);
    if (!field.empty()) message.fields.emplace_back(field[0], std::string(field.substr(1)));
    if (fs == std::string_view::npos) break;
    rest.remove_prefix(fs + 1);
  }
  check.message = std::move(message);
  return check;
}

std::string UnpackBcd(std::string_view bytes) {
  std::string digits;
  for (const char c : bytes) {
    const unsigned byte = static_cast<unsigned char>(c);
    for (const unsigned nibble : {byte >> 4u, byte & 0x0Fu}) {
      digits += nibble <= 9 ? static_cast<char>('0' + nibble) : '?';
    }
  }
  return digits;
}

std::string CardAnswer(std::string_view track1, std::string_view track2, std::string_view c,
                       std::string_view d, std::string_view f, std::string_view g) {
  std::string message = "P54A";
  message += track1;
  const auto field = [&message](char letter, std::string_view value) {
    message += kFs;
    message += letter;
    message += value;
  };
  field('B', track2);
  field('C', c);
  field('D', d);
  if (!f.empty()) field('F', f);
  if (!g.empty()) field('G', g);
  return message;
}

std::string ChipElement(std::string_view tag, std::string_view hex_value) {
  char count[8];
  std::snprintf(count, sizeof count, "%02zu", hex_value.size() % 100);
  return std::string(tag) + count + std::string(hex_value);
}

}  // namespace tovalix::sim
