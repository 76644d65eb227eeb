// The Optimum's parsers over any input: they never fail or hang, their dictionaries keep their
// shape, and the EMV text they hand to the gateway is whole elements with one-byte lengths.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "drivers/optimum/commands.hpp"
#include "fuzz_support.hpp"

namespace tovalix::fuzz {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  std::abort();
}

// What every EMV text that TagsValidos hands to the gateway must be: copied elements of its
// tag table, in table order, each a tag, a one-byte hex length and exactly that many bytes of
// value digits. Gives the value of the element `wanted`, or "" when it is not there.
std::string ValueIn(std::string_view emv, std::string_view wanted) {
  static constexpr std::string_view kCopiedTags[] = {
      "5F2A", "82",   "84",   "95",   "9C",   "9F02", "9F09", "9F10", "9F1A",
      "9F26", "9F27", "9F33", "9F34", "9F35", "9F36", "9F37", "5F34", "9F15",
      "9F39", "9F1C", "5F28", "9F07", "9F0D", "9F0E", "9F0F"};
  std::string value;
  std::size_t pos = 0;
  for (const std::string_view tag : kCopiedTags) {
    if (emv.substr(pos, tag.size()) != tag) continue;
    pos += tag.size();
    Require(pos + 2 <= emv.size());
    const std::size_t digits =
        static_cast<std::size_t>(HexDigit(emv[pos]) * 16 + HexDigit(emv[pos + 1])) * 2;
    pos += 2;
    Require(pos + digits <= emv.size());
    if (tag == wanted) value = emv.substr(pos, digits);
    pos += digits;
  }
  Require(pos == emv.size());  // nothing that is not a whole element
  return value;
}

}  // namespace

// Answers to C54, as the text handed in (any characters, blanks anywhere) and as the bytes of
// a terminal answer turned into spaced hex, the way the sale flow hands it over.
void optimum_obten_track(std::string_view input) {
  BothForms(input, [](const std::string& answer) {
    const Dictionary card = drivers::optimum::OPTIMUM().ObtenTrack(answer);
    Require(card.Keys() == std::vector<std::string>{"Track1", "Track2", "PosEntryMode", "EMV_Tags",
                                                    "ARQC", "AID", "Exp", "ServiceCode"});
    const std::string& mode = card.Item("PosEntryMode");
    Require(mode == "0" || mode == "1" || mode == "2" || mode == "3");
    Require(card.Item("Exp").size() <= 4 && card.Item("ServiceCode").size() <= 1);
    Require(ValueIn(card.Item("EMV_Tags"), "9F26") == card.Item("ARQC"));
  });
}

// EMV texts of field G: ARQC and AID are the values of 9F26 and 84.
void optimum_tags_validos(std::string_view input) {
  const Dictionary tags = drivers::optimum::OPTIMUM().TagsValidos(input);
  Require(tags.Keys() == std::vector<std::string>{"EMV_Tags", "ARQC", "AID"});
  Require(ValueIn(tags.Item("EMV_Tags"), "9F26") == tags.Item("ARQC"));
  Require(ValueIn(tags.Item("EMV_Tags"), "84") == tags.Item("AID"));
}

}  // namespace tovalix::fuzz
