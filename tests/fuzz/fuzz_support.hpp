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

}  // namespace tovalix::fuzz
