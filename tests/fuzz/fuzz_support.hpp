// What the fuzz targets share: a silent operator, a log folder that cannot be written (so that
// trapped failures do not fill a file), the reading of the flag byte and the shape checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "common/text_encoding.hpp"
#include "process_env.hpp"  // of this platform: tests/support/posix or tests/support/windows
#include "serial/generales.hpp"

namespace tovalix::fuzz {

class SilentOperator final : public Operator {
 public:
  void MessageBox(const std::string&, int, const std::string&) override {}
};

// Sends the log line of trapped failures nowhere: a folder that does not exist.
inline void SilenceLog() {
  static const bool done = [] {
    testing::SetProcessEnv("TOVALIX_LOG_DIR", "/nonexistent/tovalix-fuzz");
    return true;
  }();
  (void)done;
}

inline constexpr std::uint8_t kFallbackFlag = 0x01;
inline constexpr std::uint8_t kTextFlag = 0x02;

// The rest of the input after the flag byte, as the parsers receive it: kept as text when
// the flag says so, otherwise raw bytes turned into spaced hex.
inline std::string ParserInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return "";
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  return (data[0] & kTextFlag) != 0 ? rest : serial::TextoAHex(rest);
}

// A broken promise of a parser: crash so that the fuzzer keeps the input.
inline void Require(bool condition) {
  if (!condition) std::abort();
}

inline bool IsUpperHex(const std::string& text) {
  return text.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

// A result dictionary holds exactly these keys, in this order, each value valid UTF-8.
inline void RequireShape(const Dictionary& d, std::initializer_list<std::string_view> keys) {
  Require(d.Count() == keys.size());
  std::size_t i = 0;
  for (const std::string_view key : keys) {
    const auto& [name, value] = d.Entries()[i++];
    Require(name == key && IsValidUtf8(value));
  }
}

// What every EMV text that the Optimum's TagsValidos hands to the gateway must be: copied
// elements of its tag table, in table order, each a tag, a one-byte hex length and exactly
// that many bytes of value digits.
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
