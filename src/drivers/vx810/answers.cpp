// Reading the Vx810's card answers: C30 (a swiped card, or a status alone), C33 (the chip
// data after C31) and the PIN pad's own C31 answer; and the stripe answer to Q40.
#include <cstddef>
#include <string>
#include <string_view>

#include "common/number_text.hpp"
#include "drivers/vx810/commands.hpp"
#include "drivers/vx810/spaced_hex_walk.hpp"
#include "drivers/vx810/tags_validos.hpp"
#include "serial/generales.hpp"

namespace tovalix::drivers::vx810 {
namespace {

constexpr char kTrack2End = 0x01;  // ends track 2 in a C30 answer
constexpr std::string_view kStatusSwipe = "21";

// The card data fields, as bytes, while an answer is read.
struct CardFields {
  std::string service_code, track1, aut_code, track2, status, exp, emv_tags, arqc, aid;
};

// The two status characters after the command; leaves the walk on the second status token.
void ReadStatus(SpacedHexWalk& walk, CardFields& f) {
  std::string status(1, walk.Character());
  walk.Skip();
  status += walk.Character();
  f.status = std::move(status);
}

// C30: the status; for "21", the track texts that follow the two bytes after it: track 2 up
// to 0x01, then track 1 up to ETX, the LRC left out.
void ReadSwipe(SpacedHexWalk walk, CardFields& f) {
  ReadStatus(walk, f);
  if (f.status != kStatusSwipe) return;  // no card data with any other status
  walk.Skip(3);
  const std::string chars = serial::HexBlancosATexto(walk.Rest());
  const std::size_t n = chars.size();
  std::size_t i = 0;
  // Each walk takes at least one character and stops before the last one (the LRC).
  do {
    if (i >= n) break;
    f.track2 += chars[i++];
  } while (f.track2.back() != kTrack2End && i + 1 < n);
  if (!f.track2.empty()) f.track2.pop_back();
  do {
    if (i >= n) break;
    f.track1 += chars[i++];
  } while (f.track1.back() != serial::kEtx && i + 1 < n);
  if (!f.track1.empty()) f.track1.pop_back();
}

// C33: the status, then the elements 5F30, 5F20, 57, 5F24, 9F27, 8A and the E2 template, each
// looked for as text. A search that fails ends the reading with the fields found so far.
void ReadChip(std::string_view answer, SpacedHexWalk walk, CardFields& f) {
  ReadStatus(walk, f);
  SpacedHexWalk r(answer);
  if (!r.MoveAfter("5F 30", 6)) return;  // no service code: no chip data
  int length = r.Value();
  for (int i = 0; i < length; ++i) {
    r.Skip();
    f.service_code += r.Token();
  }
  r.Skip();
  if (!r.MoveAfter("5F 20", 6)) return;  // no cardholder name
  r.Skip(static_cast<std::size_t>(r.Value()) + 1);
  if (TrimBlanks(r.Token()) != "57") return;  // track 2 must follow the name
  r.Skip();
  length = r.Value();
  r.Skip();
  for (int i = 0; i < length; ++i) {
    f.track2 += r.Token();
    r.Skip();
  }
  if (r.Rest().find("5F 24") != std::string_view::npos) {
    r.MoveAfter("5F 24", 9);  // tag and length: the value is YY MM DD
    f.exp = std::string(r.Rest().substr(0, 2));
    r.Skip();
    f.exp += r.Rest().substr(0, 2);
    if (r.MoveAfter("9F 27", 6)) {
      length = r.Value();
      r.Skip();
      r.Skip(static_cast<std::size_t>(length));
    }
    if (r.Rest().find("8A") != std::string_view::npos) {
      // The element after 9F27 is taken to be 8A, wherever "8A" was seen.
      r.Skip();
      length = r.Value();
      if (length == 0) f.aut_code = "00";
      r.Skip();
      for (int i = 0; i < length; ++i) {
        f.aut_code += r.Token();
        r.Skip();
      }
    }
  }
  if (TrimBlanks(r.Rest()).empty()) return;
  SpacedHexWalk e(r.Rest());
  if (!e.MoveAfter("E2", 9)) return;  // no template: no EMV tags
  TagsFiltrados filtrados = FiltraTags(e.Rest());
  f.emv_tags = std::move(filtrados.emv_tags);
  f.arqc = std::move(filtrados.arqc);
  f.aid = std::move(filtrados.aid);
}

void ReadAnswer(std::string_view answer, CardFields& f) {
  SpacedHexWalk walk(answer);
  if (walk.MoveAfter("43 33 30", 9)) return ReadSwipe(walk, f);
  if (walk.MoveAfter("43 33 33", 9)) return ReadChip(answer, walk, f);
  if (walk.MoveAfter("43 33 31", 9)) {
    ReadStatus(walk, f);  // the PIN pad answered C31 itself
  }
}

// Track 2 in its usual form, the service code and expiry taken from it when the answer had
// none of their own, and the keys in their order.
Dictionary Finish(CardFields& f) {
  std::string track2;
  for (const char c : f.track2) {
    if (c != ' ') track2 += c == 'D' ? '=' : c;
  }
  const std::size_t equals = track2.find('=');
  if (f.service_code.empty()) {
    const std::size_t at = equals == std::string::npos ? 4 : equals + 5;
    if (at < track2.size()) f.service_code = track2.substr(at, 1);
  }
  std::string exp;
  if (f.exp.empty() && equals != std::string::npos) {
    exp = track2.substr(equals + 1, 4);
  } else {
    exp = std::string(TrimBlanks(f.exp));
  }
  Dictionary result;
  result.Add("ServiceCode", Latin1ToUtf8(f.service_code));
  result.Add("Track1", Latin1ToUtf8(f.track1));
  result.Add("AutCode", Latin1ToUtf8(f.aut_code));
  result.Add("Track2", Latin1ToUtf8(track2));
  result.Add("Status", Latin1ToUtf8(f.status));
  result.Add("Exp", Latin1ToUtf8(exp));
  result.Add("EMV_Tags", Latin1ToUtf8(f.emv_tags));
  result.Add("ARQC", Latin1ToUtf8(f.arqc));
  result.Add("AID", Latin1ToUtf8(f.aid));
  return result;
}

}  // namespace

Dictionary Vx810::ObtenTrack(std::string_view respuesta) const noexcept {
  CardFields fields;
  try {
    ReadAnswer(respuesta, fields);
  } catch (...) {
    // a malformed answer ends the reading with what it holds
  }
  try {
    return Finish(fields);
  } catch (...) {
    return Dictionary();  // out of memory
  }
}

Dictionary Vx810::ObtenTracksBanda(std::string_view respuesta) const noexcept {
  std::string track1, track2, exp, service_code, error;
  try {
    const std::string chars = serial::HexBlancosATexto(respuesta);
    if (chars.find("81.") != std::string::npos) {
      std::size_t i = chars.find('.') + 1;
      while (i < chars.size()) {
        track2 += chars[i++];
        if (track2.back() == serial::kFs) break;
      }
      if (!track2.empty()) track2.pop_back();
      bool on_separator = false;
      while (i < chars.size()) {
        track1 += chars[i++];
        if (track1.back() == serial::kFs) {
          on_separator = true;
          break;
        }
      }
      if (on_separator) track1.pop_back();
    } else {
      error = "Trama Incorrecta";
    }
    const std::size_t equals = track2.find('=');
    if (equals != std::string::npos) {
      exp = track2.substr(equals + 1, 4);
      if (equals + 5 < track2.size()) service_code = track2.substr(equals + 5, 1);
    }
  } catch (...) {
    // ends with what it holds
  }
  Dictionary result;
  try {
    result.Add("Track1", Latin1ToUtf8(track1));
    result.Add("Exp", Latin1ToUtf8(exp));
    result.Add("ServiceCode", Latin1ToUtf8(service_code));
    result.Add("Track2", Latin1ToUtf8(track2));
    result.Add("ErrorTrama", error);
    result.Add("Status", "21");
    result.Add("EMV_Tags", "");
  } catch (...) {
    // out of memory: what it holds
  }
  return result;
}

}  // namespace tovalix::drivers::vx810
