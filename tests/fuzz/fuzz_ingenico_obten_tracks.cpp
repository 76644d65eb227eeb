// ObtenTracks over any text: every key present, bounded fields, only reported failures.
#include <cstddef>
#include <cstdint>

#include "common/failure.hpp"
#include "drivers/ingenico/answers.hpp"
#include "drivers/ingenico/commands.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tovalix;
  fuzz::SilenceLog();
  if (size == 0) return 0;
  const std::int16_t modo = (data[0] & fuzz::kFallbackFlag) != 0 ? 3 : 0;
  const std::string answer = fuzz::ParserInput(data, size);
  try {
    // Only the parser's own Failure may leave it; anything else crashes here.
    const Dictionary tracks = drivers::ingenico::ParseTracks(answer, modo);
    fuzz::RequireShape(
        tracks, {"ServiceCode", "Track1", "Track2", "Status", "EMV_Tags", "ARQC", "AID", "Exp"});
    fuzz::Require(tracks.Item("ServiceCode").size() <= 1);
    fuzz::Require(tracks.Item("Exp").size() <= 4);
    fuzz::Require(tracks.Item("EMV_Tags").size() % 2 == 0);
    fuzz::Require(fuzz::IsUpperHex(tracks.Item("EMV_Tags")));
    fuzz::Require(fuzz::IsUpperHex(tracks.Item("ARQC")) && fuzz::IsUpperHex(tracks.Item("AID")));
  } catch (const Failure&) {
  }
  fuzz::SilentOperator op;
  drivers::ingenico::Ingenico driver(op, platform::WallTime{{2025, 12, 6}, 18, 34, 49});
  const auto tracks = driver.ObtenTracks(answer, modo);
  fuzz::Require(!tracks || tracks->Count() == 8);
  return 0;
}
