// What the fuzz targets share: the checks of a parser's promises, and the entry that hands the
// input to the target's function when several targets share one file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>

#include "common/failure.hpp"
#include "common/text_encoding.hpp"
#include "serial/generales.hpp"

namespace tovalix::fuzz {

// A broken promise of a parser: crash so that the fuzzer keeps the input.
inline void Require(bool condition) {
  if (!condition) std::abort();
}

// Runs `parse`: only the parser's own Failure may leave it; anything else crashes here.
template <typename Parse>
void Trapped(Parse&& parse) {
  try {
    parse();
  } catch (const Failure&) {
  }
}

// A parser of answers fed the input two ways: as the spaced hex of raw answer bytes, the way
// the sale flows hand answers over, and as the text itself, as if a caller passed malformed hex.
template <typename Parse>
void BothForms(std::string_view input, Parse&& parse) {
  parse(serial::TextoAHex(input));
  parse(std::string(input));
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

// A file with several targets defines each as a function of the input in tovalix::fuzz; the
// build names the one of this executable.
#ifdef TOVALIX_FUZZ_ENTRY
namespace tovalix::fuzz {
void TOVALIX_FUZZ_ENTRY(std::string_view input);
}
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tovalix::fuzz::TOVALIX_FUZZ_ENTRY({reinterpret_cast<const char*>(data), size});
  return 0;
}
#endif
