// The Vx810 command set: frames compared byte by byte (shown as spaced hex on a mismatch) and
// answers written byte by byte the way the PIN pad sends them. Card numbers are made up.
#include "drivers/vx810/commands.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "serial/generales.hpp"
#include "support/test_environment.hpp"

namespace tovalix::drivers::vx810 {
namespace {

using serial::TextoAHex;
constexpr auto Hex = TextoAHex;

// STX, the body (compact hex), ETX, LRC: an answer as the PIN pad sends it.
std::string Answer(std::string_view body_hex) {
  std::string body;
  for (std::size_t i = 0; i + 1 < body_hex.size(); i += 2) {
    body += static_cast<char>(std::stoi(std::string(body_hex.substr(i, 2)), nullptr, 16));
  }
  unsigned char lrc = 0x03;
  for (const char c : body) lrc ^= static_cast<unsigned char>(c);
  return '\x02' + body + '\x03' + static_cast<char>(lrc);
}

constexpr std::string_view kTrack2 = "4152000011112222=25121010000000000000";
constexpr std::string_view kTrack1 = "B4152000011112222^PRUEBA/TARJETA^25121010000000000000";

std::string HexOf(std::string_view text) {
  std::string out;
  for (const char c : text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[static_cast<unsigned char>(c) >> 4];
    out += kDigits[static_cast<unsigned char>(c) & 0x0F];
  }
  return out;
}

// A C30 answer: status, two bytes of the PIN pad's own, the track texts.
std::string Swipe(std::string_view status, std::string_view tracks_hex) {
  return TextoAHex(Answer("433330" + HexOf(status) + "0040" + std::string(tracks_hex)));
}

// A C33 answer: status, two length bytes, 5F30, 5F20, 57, 5F24, 9F27, 8A and the E2 template.
std::string Chip(std::string_view status, bool service_code = true,
                 std::string_view autcode_element = "8A023030",
                 std::string_view expiry = "251231") {
  std::string body = "433333" + HexOf(status) + "0080";
  if (service_code) body += "5F30020201";
  body += "5F200F" + HexOf("PRUEBA/TARJETA ");
  body += "57104152000011112222D25122010123456F";
  body += "5F2403" + std::string(expiry);
  body += "9F270180";
  body += autcode_element;
  body += "E28132";
  body +=
      "9F26081122334455667788"
      "8407A0000000031010"
      "9A03240305"
      "9F3602002A";
  body +=
      "95050000000000"
      "9F1E083132333435363738"
      "5F2A020484";
  return TextoAHex(Answer(body));
}

TEST(Vx810Frames, TextCommandsAreFramedWithTheirLrc) {
  const Vx810 vx810;
  EXPECT_EQ(Hex(vx810.ArmaSimple("72")), "02 37 32 03 06 ");
  EXPECT_EQ(Hex(vx810.HabilitaLecturaBanda()), "02 51 34 30 03 56 ");
  // Display texts travel in Windows-1252: é is the byte E9.
  EXPECT_EQ(Hex(vx810.ArmaMensaje("PIN é")), "02 5A 32 1A 50 49 4E 20 E9 03 EF ");
  const std::string z62 = vx810.CapturaEnPinPad();
  ASSERT_GT(z62.size(), 3u);
  EXPECT_EQ(z62.substr(1, z62.size() - 3),
            "Z62.4000000000006\x1C"
            "8E4B27D05C9A1F360412YMESSAGE 1\x1CMESSAGE 2\x1CPROCESSING MSG");
  testing::RecordingOperator op;
  EXPECT_EQ(serial::VerificaTrama(z62, "5A3632", op), 1);
}

TEST(Vx810Frames, C30StampsTheDateAndTimeAsDecimalPairs) {
  const Vx810 vx810;
  EXPECT_EQ(Hex(vx810.C30(Money(), Money(), {{2024, 3, 5}, 14, 7, 9})),
            "02 43 33 30 00 10 C1 01 15 C1 01 01 C1 03 05 03 24 C1 03 14 07 09 03 7F ");
  const std::string late = Hex(vx810.C30(Money(), Money(), {{2031, 12, 31}, 23, 59, 59}));
  EXPECT_NE(late.find("C1 03 31 12 31 C1 03 23 59 59 03 "), std::string::npos) << late;
  // A time that is not one gives no frame rather than a wrong stamp.
  EXPECT_EQ(vx810.C30(Money(), Money(), {{2024, 13, 5}, 14, 7, 9}), "");
  EXPECT_EQ(vx810.C30(Money(), Money(), {{2024, 3, 5}, 24, 0, 0}), "");
  EXPECT_EQ(vx810.C30(Money(), Money(), {{2024, 3, 0}, 10, 0, 0}), "");
}

TEST(Vx810Frames, C31CarriesAmountTipCurrencyAndTheTagList) {
  const Vx810 vx810;
  const auto c31 = [&](std::int64_t monto, std::int64_t propina) {
    return vx810.C31(Money::FromCentavos(monto), Money::FromCentavos(propina));
  };
  const std::string frame = Hex(c31(12550, 0));
  EXPECT_EQ(frame,
            "02 43 33 31 00 62 C1 01 01 C1 04 00 00 31 06 C1 04 00 00 00 00 C1 02 04 84 "
            "C1 01 00 C1 01 00 C1 01 00 E1 40 "
            "9F 39 5F 34 8A 5F 2A 82 84 95 9A 9C 9F 02 9F 03 9F 09 9F 10 9F 1A 9F 1E 9F 26 "
            "9F 27 9F 33 9F 34 9F 35 9F 36 9F 37 9F 41 9F 53 5F 28 9F 07 9F 0D 9F 0E 9F 0F "
            "9F 15 9F 1C 9F 16 9F 21 5F 25 9F 01 C1 00 E1 00 03 " +
                frame.substr(frame.size() - 3));
  testing::RecordingOperator op;
  EXPECT_EQ(serial::VerificaTrama(c31(12550, 0), "433331", op), 1);
  EXPECT_EQ(Hex(c31(101, 30)).substr(27, 36), "C1 04 00 00 00 65 C1 04 00 00 00 1E ");
  EXPECT_EQ(Hex(c31(kMaxCentavos, 0)).substr(27, 18), "C1 04 FF FF FF FF ");
  // An amount the four bytes cannot hold or a negative one: no frame at all.
  EXPECT_EQ(c31(kMaxCentavos + 1, 0), "");
  EXPECT_EQ(c31(10000, -100), "");
}

TEST(Vx810Frames, C34CountsTheCodeBytesActuallySent) {
  const Vx810 vx810;
  EXPECT_EQ(Hex(vx810.C34("00")), "02 43 33 34 00 05 C1 01 00 E1 00 03 63 ");
  EXPECT_EQ(Hex(vx810.C34("30 30 ")), "02 43 33 34 00 06 C1 02 30 30 E1 00 03 63 ");
  EXPECT_EQ(Hex(vx810.C34("")), "02 43 33 34 00 04 C1 00 E1 00 03 63 ");
}

TEST(Vx810ObtenTrack, SwipeAnswerGivesBothTracksAndWhatTrack2Holds) {
  const Vx810 vx810;
  Dictionary card = vx810.ObtenTrack(Swipe("21", HexOf(kTrack2) + "01" + HexOf(kTrack1)));
  EXPECT_EQ(card.Keys(), (std::vector<std::string>{"ServiceCode", "Track1", "AutCode", "Track2",
                                                   "Status", "Exp", "EMV_Tags", "ARQC", "AID"}));
  EXPECT_EQ(card.Item("Track2"), kTrack2);
  EXPECT_EQ(card.Item("Track1"), kTrack1);
  EXPECT_EQ(card.Item("Exp"), "2512");
  EXPECT_EQ(card.Item("ServiceCode"), "1");
  EXPECT_EQ(card.Item("Status"), "21");
  EXPECT_EQ(card.Item("AutCode"), "");

  // An empty swipe: the 0x01 comes first.
  card = vx810.ObtenTrack(Swipe("21", "01"));
  EXPECT_EQ(card.Item("Status"), "21");
  EXPECT_EQ(card.Item("Track2"), "");
  EXPECT_EQ(card.Item("Track1"), "");
  EXPECT_EQ(card.Item("ServiceCode"), "");

  // Track 2 without its 0x01 and no track 1: the walk stops before ETX and the LRC.
  card = vx810.ObtenTrack(Swipe("21", HexOf(kTrack2)));
  EXPECT_EQ(card.Item("Track2"), kTrack2);
  EXPECT_EQ(card.Item("Track1"), "");

  // Answer bytes are characters of their own value; Ñ (D1) comes back as UTF-8.
  card = vx810.ObtenTrack(Swipe("21", HexOf(kTrack2) + "01" +
                                          HexOf("B41^PE\xD1"
                                                "A^")));
  EXPECT_EQ(card.Item("Track1"), "B41^PEÑA^");
}

TEST(Vx810ObtenTrack, OtherStatusOrAChipAnswerWithout5F30GivesOnlyTheStatus) {
  const Vx810 vx810;
  const std::string stripe = HexOf(kTrack2) + "01" + HexOf(kTrack1);
  const std::pair<std::string, std::string> rows[] = {{Swipe("22", stripe), "22"},
                                                      {Swipe("06", stripe), "06"},
                                                      {Swipe("00", stripe), "00"},
                                                      {Chip("30", false), "30"}};
  for (const auto& [answer, status] : rows) {
    const Dictionary card = vx810.ObtenTrack(answer);
    EXPECT_EQ(card.Count(), 9u);
    for (const auto& [key, value] : card.Entries()) {
      EXPECT_EQ(value, key == "Status" ? status : "") << key << " for status " << status;
    }
  }
}

TEST(Vx810ObtenTrack, ChipAnswerGivesItsElements) {
  const Vx810 vx810;
  Dictionary card = vx810.ObtenTrack(Chip("00"));
  EXPECT_EQ(card.Item("Status"), "00");
  EXPECT_EQ(card.Item("ServiceCode"), "02 01 ");
  EXPECT_EQ(card.Item("Track2"), "4152000011112222=25122010123456F");
  EXPECT_EQ(card.Item("Exp"), "2512");  // from 5F24 25 12 31, not from track 2
  EXPECT_EQ(card.Item("AutCode"), "30 30 ");
  EXPECT_EQ(card.Item("Track1"), "");
  EXPECT_EQ(card.Item("ARQC"), "1122334455667788");
  EXPECT_EQ(card.Item("AID"), "A0000000031010");
  EXPECT_EQ(card.Item("EMV_Tags"),
            "5F2A020484"
            "8407A0000000031010"
            "95050000000000"
            "9F26081122334455667788"
            "9F3602002A");

  // 8A of length zero: the code "00", which C34 sends as one byte.
  card = vx810.ObtenTrack(Chip("00", true, "8A00"));
  EXPECT_EQ(card.Item("AutCode"), "00");

  // The expiry is the card's 5F24, not the date inside track 2.
  EXPECT_EQ(vx810.ObtenTrack(Chip("00", true, "8A00", "270630")).Item("Exp"), "2706");
}

TEST(Vx810ObtenTrack, OtherAndMalformedAnswersKeepEveryKey) {
  const Vx810 vx810;
  // The PIN pad answering C31 itself.
  EXPECT_EQ(vx810
                .ObtenTrack(TextoAHex(Answer("43333130"
                                             "31")))
                .Item("Status"),
            "01");
  // Neither C30, C31 nor C33: empty values.
  Dictionary card =
      vx810.ObtenTrack(TextoAHex(Answer("493032"
                                        "30")));
  EXPECT_EQ(card.Count(), 9u);
  for (const auto& [key, value] : card.Entries()) EXPECT_EQ(value, "") << key;
  // A status token that is not hex, and an answer cut after the command: what it holds.
  card = vx810.ObtenTrack("02 43 33 30 ZZ 31 ");
  EXPECT_EQ(card.Count(), 9u);
  EXPECT_EQ(card.Item("Status"), "");
  EXPECT_EQ(vx810.ObtenTrack("02 43 33 30").Count(), 9u);
  // A chip answer whose 5F20 length is not hex ends after the service code.
  card = vx810.ObtenTrack("02 43 33 33 30 30 5F 30 02 02 01 5F 20 QQ 41 ");
  EXPECT_EQ(card.Item("ServiceCode"), "02 01 ");
  EXPECT_EQ(card.Item("Status"), "00");
}

TEST(Vx810TagsValidos, CopiesInTableOrderAndDropsWhatTheTableRemoves) {
  const Vx810 vx810;
  const Dictionary tags =
      vx810.TagsValidos("9F2608 1122334455667788 8407 A0000000031010 9A03 240305");
  EXPECT_EQ(tags.Keys(), (std::vector<std::string>{"EMV_Tags", "ARQC", "AID"}));
  EXPECT_EQ(tags.Item("EMV_Tags"),
            "8407A0000000031010"
            "9F26081122334455667788");
  EXPECT_EQ(tags.Item("ARQC"), "1122334455667788");
  EXPECT_EQ(tags.Item("AID"), "A0000000031010");
  // Rows 24 to 30 of the table: 9F1C, 5F28, 9F07, 9F0D, 9F0E, 9F0F, 9F15.
  EXPECT_EQ(vx810.TagsValidos("9F150155 9F0F0155 9F0E0155 9F0D0155 9F070155 5F280155 9F1C0155")
                .Item("EMV_Tags"),
            "9F1C0155"
            "5F280155"
            "9F070155"
            "9F0D0155"
            "9F0E0155"
            "9F0F0155"
            "9F150155");
}

TEST(Vx810TagsValidos, SearchesByTextNotByElement) {
  const Vx810 vx810;
  // Row 8A comes before 9F26 and finds "8A" inside 08AA: the rest of the text goes with it.
  Dictionary tags = vx810.TagsValidos("9F2608AABBCCDDEEFF1122");
  EXPECT_EQ(tags.Item("EMV_Tags"), "9F260");
  EXPECT_EQ(tags.Item("ARQC"), "");
  // A length that reads negative ends the walk: the text stays as received.
  tags = vx810.TagsValidos("9F26Z0 1122");
  EXPECT_EQ(tags.Item("EMV_Tags"), "9F26Z0 1122");
  EXPECT_EQ(tags.Count(), 3u);
}

TEST(Vx810ObtenTracksBanda, ReadsTheStripeAnswer) {
  const Vx810 vx810;
  Dictionary card = vx810.ObtenTracksBanda(
      TextoAHex(Answer(HexOf("81.") + HexOf(kTrack2) + "1C" + HexOf(kTrack1) + "1C")));
  EXPECT_EQ(card.Keys(), (std::vector<std::string>{"Track1", "Exp", "ServiceCode", "Track2",
                                                   "ErrorTrama", "Status", "EMV_Tags"}));
  EXPECT_EQ(card.Item("Track2"), kTrack2);
  EXPECT_EQ(card.Item("Track1"), kTrack1);
  EXPECT_EQ(card.Item("Exp"), "2512");
  EXPECT_EQ(card.Item("ServiceCode"), "1");
  EXPECT_EQ(card.Item("ErrorTrama"), "");
  EXPECT_EQ(card.Item("Status"), "21");

  card = vx810.ObtenTracksBanda(TextoAHex(Answer(HexOf("82"))));
  EXPECT_EQ(card.Item("ErrorTrama"), "Trama Incorrecta");
  EXPECT_EQ(card.Item("Track2"), "");
  EXPECT_EQ(card.Item("Exp"), "");
}

}  // namespace
}  // namespace tovalix::drivers::vx810
