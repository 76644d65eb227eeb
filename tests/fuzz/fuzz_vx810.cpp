// The Vx810's answer parsers over any bytes, each fed both as the spaced hex of an answer and
// as malformed hex text: nothing may escape, every key comes in its order, every value is
// valid UTF-8.
#include <cstddef>
#include <string>
#include <string_view>

#include "drivers/vx810/commands.hpp"
#include "fuzz_support.hpp"

namespace tovalix::fuzz {

// Answers to C30 and C31 (and C33). The status is two characters of the answer or nothing,
// the expiry at most four; an answer byte of 0x80 or more is two bytes of UTF-8.
void vx810_obten_track(std::string_view input) {
  const auto characters = [](std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
  };
  BothForms(input, [&](const std::string& answer) {
    const Dictionary card = drivers::vx810::Vx810().ObtenTrack(answer);
    RequireShape(card, {"ServiceCode", "Track1", "AutCode", "Track2", "Status", "Exp", "EMV_Tags",
                        "ARQC", "AID"});
    Require(characters(card.Item("Status")) <= 2 && characters(card.Item("Exp")) <= 4);
  });
}

// Answers to Q40: Status and EMV_Tags keep their fixed values, and a refused frame has no track.
void vx810_obten_tracks_banda(std::string_view input) {
  BothForms(input, [](const std::string& answer) {
    const Dictionary card = drivers::vx810::Vx810().ObtenTracksBanda(answer);
    RequireShape(card,
                 {"Track1", "Exp", "ServiceCode", "Track2", "ErrorTrama", "Status", "EMV_Tags"});
    Require(card.Item("Status") == "21" && card.Item("EMV_Tags").empty());
    const std::string& error = card.Item("ErrorTrama");
    Require(error.empty() || (error == "Trama Incorrecta" && card.Item("Track2").empty()));
  });
}

// EMV tag texts: for ASCII input, what is copied is never more than what came in (EMV_Tags is
// pieces of the input without its blanks, or the input itself after a failure).
void vx810_tags_validos(std::string_view input) {
  BothForms(input, [](const std::string& tags) {
    const Dictionary found = drivers::vx810::Vx810().TagsValidos(tags);
    RequireShape(found, {"EMV_Tags", "ARQC", "AID"});
    for (const char c : tags) {
      if (static_cast<unsigned char>(c) >= 0x80) return;
    }
    for (const auto& [key, value] : found.Entries()) Require(value.size() <= tags.size());
  });
}

}  // namespace tovalix::fuzz
