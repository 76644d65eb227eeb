// How the simulated Optimum reads the frames it receives and writes the messages it answers
// with. Written apart from the driver's command set on purpose (only the LRC of the framing is
// shared), so that a mistake in one shows up against the other.
//
// A frame: STX, three ASCII digits with the message's length, the message, ETX, LRC. A
// message: a three-character command ("C54"), then fields, each a letter and its value, every
// field after the first preceded by FS.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tovalix::sim {

struct OptimumMessage {
  std::string command;                               // "C54", "C50", "C57"...
  std::vector<std::pair<char, std::string>> fields;  // letter and raw value, in order

  // The raw value of the first field `letter`, nullopt when it is absent.
  std::optional<std::string> Field(char letter) const;
};

// Why a received frame was not read; empty when it was.
struct OptimumFrameCheck {
  std::optional<OptimumMessage> message;
  std::string problem;  // "length digits say 12, message has 10", "LRC 41, expected 5A"...
};

// Reads a whole frame as cut by OptimumFraming. Never throws; any bytes.
OptimumFrameCheck ReadOptimumFrame(std::string_view frame);

// Packed decimal digits back to their text: 05 03 24 -> "050324". A nibble above 9 reads as
// '?', so that a corrupt field shows in a comparison.
std::string UnpackBcd(std::string_view bytes);

// The message of the terminal's answer to a card request: "P54" "A" track 1, then B track 2,
// C and D (how the card was read), F and G when not empty.
std::string CardAnswer(std::string_view track1, std::string_view track2, std::string_view c,
                       std::string_view d, std::string_view f, std::string_view g);

// One element of the terminal's chip text: the tag, the two decimal digits counting the hex
// characters of the value, the value ("9F26" "16" "1122334455667788").
std::string ChipElement(std::string_view tag, std::string_view hex_value);

}  // namespace tovalix::sim
