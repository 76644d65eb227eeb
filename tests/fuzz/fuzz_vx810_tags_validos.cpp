// Any text as the EMV tag text of a chip answer (hex digits and blanks, or anything at all),
// and the spaced hex of the same bytes. Nothing may escape; the three keys come in order and
// are valid UTF-8; what is copied is never more than what came in.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/text_encoding.hpp"
#include "drivers/vx810/commands.hpp"
#include "serial/generales.hpp"

namespace {

void Check(std::string_view input, const tovalix::Dictionary& tags) {
  if (tags.Count() != 3) std::abort();
  const auto& entries = tags.Entries();
  if (entries[0].first != "EMV_Tags" || entries[1].first != "ARQC" || entries[2].first != "AID") {
    std::abort();
  }
  for (const auto& [key, value] : entries) {
    if (!tovalix::IsValidUtf8(value)) std::abort();
  }
  bool ascii = true;
  for (const char c : input) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (!ascii) return;
  // ASCII in: EMV_Tags is pieces of the input without its blanks (or the input itself after a
  // failure), and ARQC and AID are pieces of it.
  for (const auto& [key, value] : entries) {
    if (value.size() > input.size()) std::abort();
  }
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
