// Readers of the Ingenico answers: the IC0 card reading (tracks, status, EMV data) and the
// KBD keyboard entry. They take the answer as spaced hex ("49 43 30 ..."), survive any text,
// and throw Failure when an answer is cut short or carries a length that is not hex; the
// driver's operations trap that and report it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>

namespace tovalix::drivers::ingenico {

// What TagsValidos picks out of the EMV data: the kept objects in table order, the
// cryptogram (9F26) and the application identifier (84), all compact hex.
struct TagsFound {
  std::string emv_tags;
  std::string arqc;
  std::string aid;
};

// Filters EMV data (hex, blanks allowed, either case) into `found`, row by row of the tag
// table. When an object is cut short or its length is not hex, throws Failure; `found` then
// holds what the rows before it gave.
void FilterTags(std::string_view cadena, TagsFound& found);

// The tracks dictionary of an IC0 answer: ServiceCode, Track1, Track2, Status, EMV_Tags,
// ARQC, AID, Exp, in this order, every key present. `modo` 3 reads a fallback answer (track 1
// by its length even for a chip card). Throws Failure for an answer cut short or a length
// that is not hex.
Dictionary ParseTracks(std::string_view spaced, std::int16_t modo);

// The value typed on the keyboard, from a KBD answer: the data bytes after the first one, as
// spaced hex. "" when the text holds no KBD answer. Throws Failure when it is cut short.
std::string ParseCvv2(std::string_view spaced);

}  // namespace tovalix::drivers::ingenico
