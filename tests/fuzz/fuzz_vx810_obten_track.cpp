// Any bytes a Vx810 may send as an answer to C30 or C31: handed to ObtenTrack the way the sale
// flow does (spaced hex of the raw bytes), and also as they are, as if a caller passed a
// malformed hex text. Nothing may escape, every key must be there in its order, every value
// must be valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/text_encoding.hpp"
#include "drivers/vx810/commands.hpp"
#include "fuzz_support.hpp"
#include "serial/generales.hpp"

namespace {

// Characters, not bytes: an answer byte of 0x80 or more is two bytes of UTF-8.
std::size_t Characters(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

void Check(const tovalix::Dictionary& card) {
  using tovalix::fuzz::Require;
  tovalix::fuzz::RequireShape(card, {"ServiceCode", "Track1", "AutCode", "Track2", "Status", "Exp",
                                     "EMV_Tags", "ARQC", "AID"});
  // The status is two characters of the answer, or nothing; the expiry at most four.
  Require(Characters(card.Item("Status")) <= 2 && Characters(card.Item("Exp")) <= 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const tovalix::drivers::vx810::Vx810 vx810;
  Check(vx810.ObtenTrack(tovalix::serial::TextoAHex(bytes)));
  Check(vx810.ObtenTrack(bytes));
  return 0;
}
