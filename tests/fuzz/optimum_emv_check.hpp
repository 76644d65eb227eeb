// What every EMV text that the Optimum's TagsValidos hands to the gateway must be: copied
// elements of its tag table, in table order, each a tag, a one-byte hex length and exactly
// that many bytes of value digits. Aborts (a fuzz finding) when it is not.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

namespace tovalix::fuzz {

inline constexpr std::string_view kCopiedTags[] = {
    "5F2A", "82",   "84",   "95",   "9C",   "9F02", "9F09", "9F10", "9F1A",
    "9F26", "9F27", "9F33", "9F34", "9F35", "9F36", "9F37", "5F34", "9F15",
    "9F39", "9F1C", "5F28", "9F07", "9F0D", "9F0E", "9F0F"};

inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Walks `emv`; stores the value of the element `wanted` in `wanted_value` when it is there.
inline void CheckEmvTags(std::string_view emv, std::string_view wanted, std::string* wanted_value) {
  std::size_t pos = 0;
  for (const std::string_view tag : kCopiedTags) {
    if (emv.substr(pos, tag.size()) != tag) continue;
    pos += tag.size();
    if (pos + 2 > emv.size()) std::abort();
    const int high = HexDigit(emv[pos]);
    const int low = HexDigit(emv[pos + 1]);
    if (high < 0 || low < 0) std::abort();
    pos += 2;
    const std::size_t digits = static_cast<std::size_t>(high * 16 + low) * 2;
    if (pos + digits > emv.size()) std::abort();
    if (tag == wanted && wanted_value != nullptr)
      *wanted_value = std::string(emv.substr(pos, digits));
    pos += digits;
  }
  if (pos != emv.size()) std::abort();  // something that is not a whole element
}

}  // namespace tovalix::fuzz
