// ObtenTrack over any input, read two ways: as the text handed in (any characters, blanks
// anywhere) and as the bytes of a terminal answer turned into spaced hex, the way the sale
// flow hands it over. It never fails or hangs, and its dictionary keeps its shape.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "drivers/optimum/commands.hpp"
#include "fuzz_support.hpp"
#include "serial/generales.hpp"

namespace {

void Check(const tovalix::Dictionary& card) {
  static const std::vector<std::string> kKeys = {"Track1", "Track2", "PosEntryMode", "EMV_Tags",
                                                 "ARQC",   "AID",    "Exp",          "ServiceCode"};
  tovalix::fuzz::Require(card.Keys() == kKeys);
  const std::string& mode = card.Item("PosEntryMode");
  if (mode != "0" && mode != "1" && mode != "2" && mode != "3") std::abort();
  if (card.Item("Exp").size() > 4 || card.Item("ServiceCode").size() > 1) std::abort();
  std::string arqc;
  tovalix::fuzz::CheckEmvTags(card.Item("EMV_Tags"), "9F26", &arqc);
  if (arqc != card.Item("ARQC")) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  const tovalix::drivers::optimum::OPTIMUM optimum;
  Check(optimum.ObtenTrack(raw));
  Check(optimum.ObtenTrack(tovalix::serial::TextoAHex(raw)));
  return 0;
}
