// The Vx810 command set: frames compared byte by byte (shown as spaced hex on a mismatch) and
// answers written byte by byte the way the PIN pad sends them. Card numbers are made up.
#include "drivers/vx810/commands.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "serial/generales.hpp"
#include "sim/pinpad/framing.hpp"
#include "support/test_environment.hpp"

namespace tovalix::drivers::vx810 {
namespace {

using serial::TextoAHex;

// STX, the body, ETX, LRC: an answer as the PIN pad sends it, as the flow hands it over.
std::string Answer(std::string_view body_hex) {
  return TextoAHex(sim::TextFrame(serial::HexATexto(std::string(body_hex))));
}

std::string HexOf(std::string_view text) {
  std::string hex = TextoAHex(text);
  std::erase(hex, ' ');
  return hex;
}

constexpr std::string_view kTrack2 = "4152000011112222=25121010000000000000";
constexpr std::string_view kTrack1 = "B4152000011112222^PRUEBA/TARJETA^25121010000000000000";
const std::string kStripe = HexOf(kTrack2) + "01" + HexOf(kTrack1);

// A C30 answer: status, two bytes of the PIN pad's own, the track texts.
std::string Swipe(std::string_view status, std::string_view tracks_hex) {
  return Answer("433330" + HexOf(status) + "0040" + std::string(tracks_hex));
}

// A C33 answer: status, two length bytes, 5F30, 5F20, 57, 5F24, 9F27, 8A and the E2 template.
std::string Chip(std::string_view status, bool service_code = true) {
  std::string body = "433333" + HexOf(status) + "0080";
  if (service_code) body += "5F30020201";
  body += "5F200F" + HexOf("PRUEBA/TARJETA ");
  body += "57104152000011112222D25122010123456F";
  body += "5F24032512319F2701808A023030";  // expiry 31 Dec 2025; 9F27 80; code "00"
  // The E2 template: 9F26, 84, 9A, 9F36, 95, 9F1E, 5F2A.
  body +=
      "E281329F260811223344556677888407A00000000310109A032403059F3602002A"
      "950500000000009F1E0831323334353637385F2A020484";
  return Answer(body);
}

TEST(Vx810Frames, EachBuilderGivesItsBytes) {
  const Vx810 vx810;
  const auto c31 = [&](std::int64_t monto, std::int64_t propina) {
    return TextoAHex(vx810.C31(Money::FromCentavos(monto), Money::FromCentavos(propina)));
  };
  const auto c30 = [&](const platform::WallTime& at) {
    return TextoAHex(vx810.C30(Money(), Money(), at));
  };
  const std::pair<std::string, std::string> rows[] = {
      {TextoAHex(vx810.ArmaSimple("72")), "02 37 32 03 06 "},
      {TextoAHex(vx810.HabilitaLecturaBanda()), "02 51 34 30 03 56 "},
      // Display texts travel in Windows-1252: é is the byte E9.
      {TextoAHex(vx810.ArmaMensaje("PIN é")), "02 5A 32 1A 50 49 4E 20 E9 03 EF "},
      {TextoAHex(vx810.CapturaEnPinPad()),
       TextoAHex("\x02Z62.4000000000006\x1C"
                 "8E4B27D05C9A1F360412YMESSAGE 1\x1CMESSAGE 2\x1CPROCESSING MSG\x03\x74")},
      // The date and time as decimal pairs.
      {c30({{2024, 3, 5}, 14, 7, 9}),
       "02 43 33 30 00 10 C1 01 15 C1 01 01 C1 03 05 03 24 C1 03 14 07 09 03 7F "},
      {c30({{2031, 12, 31}, 23, 59, 59}).substr(36, 33), "C1 03 31 12 31 C1 03 23 59 59 03 "},
      // A time that is not one gives no frame rather than a wrong stamp.
      {c30({{2024, 13, 5}, 14, 7, 9}), ""},
      {c30({{2024, 3, 5}, 24, 0, 0}), ""},
      {c30({{2024, 3, 0}, 10, 0, 0}), ""},
      {c31(12550, 0),
       "02 43 33 31 00 62 C1 01 01 C1 04 00 00 31 06 C1 04 00 00 00 00 C1 02 04 84 "
       "C1 01 00 C1 01 00 C1 01 00 E1 40 "
       "9F 39 5F 34 8A 5F 2A 82 84 95 9A 9C 9F 02 9F 03 9F 09 9F 10 9F 1A 9F 1E 9F 26 "
       "9F 27 9F 33 9F 34 9F 35 9F 36 9F 37 9F 41 9F 53 5F 28 9F 07 9F 0D 9F 0E 9F 0F "
       "9F 15 9F 1C 9F 16 9F 21 5F 25 9F 01 C1 00 E1 00 03 76 "},
      {c31(101, 30).substr(27, 36), "C1 04 00 00 00 65 C1 04 00 00 00 1E "},
      {c31(kMaxCentavos, 0).substr(27, 18), "C1 04 FF FF FF FF "},
      // An amount the four bytes cannot hold or a negative one: no frame at all.
      {c31(kMaxCentavos + 1, 0), ""},
      {c31(10000, -100), ""},
      // C34 counts the code bytes actually sent.
      {TextoAHex(vx810.C34("00")), "02 43 33 34 00 05 C1 01 00 E1 00 03 63 "},
      {TextoAHex(vx810.C34("30 30 ")), "02 43 33 34 00 06 C1 02 30 30 E1 00 03 63 "},
      {TextoAHex(vx810.C34("")), "02 43 33 34 00 04 C1 00 E1 00 03 63 "},
  };
  for (const auto& [built, expected] : rows) EXPECT_EQ(built, expected);
}

TEST(Vx810ObtenTrack, EveryAnswerGivesEveryKeyInItsOrder) {
  const std::string emv =
      "5F2A0204848407A0000000031010950500000000009F260811223344556677889F3602002A";
  const std::string chip_track2 = "4152000011112222=25122010123456F";
  const struct {
    std::string answer;
    // ServiceCode, Track1, AutCode, Track2, Status, Exp, EMV_Tags, ARQC, AID
    std::array<std::string, 9> values = {};
  } rows[] = {
      {Swipe("21", kStripe), "1", std::string(kTrack1), "", std::string(kTrack2), "21", "2512"},
      // An empty swipe: the 0x01 comes first.
      {Swipe("21", "01"), "", "", "", "", "21"},
      // Track 2 without its 0x01 and no track 1: the walk stops before ETX and the LRC.
      {Swipe("21", HexOf(kTrack2)), "1", "", "", std::string(kTrack2), "21", "2512"},
      // Answer bytes are characters of their own value; Ñ (D1) comes back as UTF-8.
      {Swipe("21", HexOf(kTrack2) + "01" +
                       HexOf("B41^PE\xD1"
                             "A^")),
       "1", "B41^PEÑA^", "", std::string(kTrack2), "21", "2512"},
      // Any other status, or a chip answer without 5F30: only the status.
      {Swipe("22", kStripe), "", "", "", "", "22"},
      {Swipe("00", kStripe), "", "", "", "", "00"},
      {Chip("30", false), "", "", "", "", "30"},
      // The expiry is the card's 5F24, not the date inside track 2.
      {Chip("00"), "02 01 ", "", "30 30 ", chip_track2, "00", "2512", emv, "1122334455667788",
       "A0000000031010"},
      // The PIN pad answering C31 itself; neither C30, C31 nor C33.
      {Answer("4333313031"), "", "", "", "", "01"},
      {Answer("49303230")},
      // A status token that is not hex, and an answer cut after the command.
      {"02 43 33 30 ZZ 31 "},
      {"02 43 33 30"},
      // A chip answer whose 5F20 length is not hex ends after the service code.
      {"02 43 33 33 30 30 5F 30 02 02 01 5F 20 QQ 41 ", "02 01 ", "", "", "", "00"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Vx810().ObtenTrack(row.answer).Entries(),
              testing::EntriesOf({"ServiceCode", "Track1", "AutCode", "Track2", "Status", "Exp",
                                  "EMV_Tags", "ARQC", "AID"},
                                 row.values))
        << row.answer;
  }
}

TEST(Vx810TagsValidos, CopiesInTableOrderSearchingByText) {
  const struct {
    std::string tags, emv_tags, arqc = "", aid = "";
  } rows[] = {
      // 9A is taken out but not copied.
      {"9F2608 1122334455667788 8407 A0000000031010 9A03 240305",
       "8407A00000000310109F26081122334455667788", "1122334455667788", "A0000000031010"},
      // Rows 24 to 30 of the table: 9F1C, 5F28, 9F07, 9F0D, 9F0E, 9F0F, 9F15.
      {"9F150155 9F0F0155 9F0E0155 9F0D0155 9F070155 5F280155 9F1C0155",
       "9F1C01555F2801559F0701559F0D01559F0E01559F0F01559F150155"},
      // Row 8A comes before 9F26 and finds "8A" inside 08AA: the rest of the text goes with it.
      {"9F2608AABBCCDDEEFF1122", "9F260"},
      // A length that reads negative ends the walk: the text stays as received.
      {"9F26Z0 1122", "9F26Z0 1122"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Vx810().TagsValidos(row.tags).Entries(),
              testing::EntriesOf({"EMV_Tags", "ARQC", "AID"}, {row.emv_tags, row.arqc, row.aid}));
  }
}

}  // namespace
}  // namespace tovalix::drivers::vx810
