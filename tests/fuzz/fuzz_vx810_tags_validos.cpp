// Any text as the EMV tag text of a chip answer (hex digits and blanks, or anything at all),
// and the spaced hex of the same bytes. Nothing may escape; the three keys come in order and
// are valid UTF-8; what is copied is never more than what came in.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/text_encoding.hpp"
#include "drivers/vx810/commands.hpp"
#include "fuzz_support.hpp"
#include "serial/generales.hpp"

namespace {

void Check(std::string_view input, const tovalix::Dictionary& tags) {
  tovalix::fuzz::RequireShape(tags, {"EMV_Tags", "ARQC", "AID"});
  for (const char c : input) {
    if (static_cast<unsigned char>(c) >= 0x80) return;
  }
  // ASCII in: EMV_Tags is pieces of the input without its blanks (or the input itself after a
  // failure), and ARQC and AID are pieces of it.
  for (const auto& [key, value] : tags.Entries())
    tovalix::fuzz::Require(value.size() <= input.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const tovalix::drivers::vx810::Vx810 vx810;
  Check(bytes, vx810.TagsValidos(bytes));
  const std::string spaced = tovalix::serial::TextoAHex(bytes);
  Check(spaced, vx810.TagsValidos(spaced));
  return 0;
}
