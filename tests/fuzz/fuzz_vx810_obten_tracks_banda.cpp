// Any bytes a Vx810 may send as its answer to Q40, handed to ObtenTracksBanda as spaced hex,
// and the same bytes as a malformed hex text. Nothing may escape; the seven keys come in their
// order, values are valid UTF-8, and Status and EMV_Tags keep their fixed values.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/text_encoding.hpp"
#include "drivers/vx810/commands.hpp"
#include "fuzz_support.hpp"
#include "serial/generales.hpp"

namespace {

void Check(const tovalix::Dictionary& card) {
  using tovalix::fuzz::Require;
  tovalix::fuzz::RequireShape(
      card, {"Track1", "Exp", "ServiceCode", "Track2", "ErrorTrama", "Status", "EMV_Tags"});
  Require(card.Item("Status") == "21" && card.Item("EMV_Tags").empty());
  const std::string& error = card.Item("ErrorTrama");
  Require(error.empty() || (error == "Trama Incorrecta" && card.Item("Track2").empty()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const tovalix::drivers::vx810::Vx810 vx810;
  Check(vx810.ObtenTracksBanda(tovalix::serial::TextoAHex(bytes)));
  Check(vx810.ObtenTracksBanda(bytes));
  return 0;
}
