// The Optimum's frames byte by byte and its answers parsed, against frames written out here by
// hand from the terminal's protocol (not with the builders under test).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "drivers/optimum/commands.hpp"
#include "serial/generales.hpp"

namespace tovalix::drivers::optimum {
namespace {

using serial::TextoAHex;

const platform::WallTime k5Mar2024At1407{{2024, 3, 5}, 14, 7, 9};

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (const int v : values) out += static_cast<char>(v);
  return out;
}

// A whole frame around `message`, with length digits and LRC worked out here.
std::string Framed(const std::string& message) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%03zu", message.size());
  const std::string body = digits + message;
  int lrc = 0;
  for (const char c : body) lrc ^= static_cast<unsigned char>(c);
  return "\x02" + body + "\x03" + static_cast<char>(lrc ^ 0x03);
}

// A P54 answer as the flow hands it to ObtenTrack: spaced hex of the frame's bytes.
std::string P54(const std::vector<std::pair<char, std::string>>& fields) {
  std::string message = "P54";
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) message += '\x1C';
    message += fields[i].first + fields[i].second;
  }
  return TextoAHex(Framed(message));
}

const std::string kTrack1 = "B4152000000000016^PRUEBA/TARJETA^2512101000000000000";
const std::string kTrack2 = "4152000000000016=25121010000000000";

TEST(OptimumFrames, C57IsTheSerialNumberRequest) {
  EXPECT_EQ(TextoAHex(OPTIMUM().C57()), "02 30 30 33 43 35 37 03 71 ");
}

TEST(OptimumFrames, NotifyCarriesTheChipResult) {
  const OPTIMUM optimum;
  const std::string approved = optimum.Notify("00");
  EXPECT_EQ(approved,
            "\x02"
            "010C54A00\x1C"
            "B00\x03\x6F");
  // Any other code is a decline: B "01", and the LRC follows the one changed bit.
  const std::string declined =
      "\x02"
      "010C54A00\x1C"
      "B01\x03\x6E";
  EXPECT_EQ(optimum.Notify("01"), declined);
  EXPECT_EQ(optimum.Notify("05"), declined);
  EXPECT_EQ(optimum.Notify(""), declined);
}

TEST(OptimumFrames, C54CarriesDateTimeAndAmountsAsBcd) {
  const std::string frame =
      OPTIMUM().C54(Money::FromCentavos(12500), Money::FromCentavos(0), k5Mar2024At1407);
  const std::string message =
      "C54AINSERTE O DESLICE TARJETA" + Bytes({0x1C, 'B', 0x05, 0x03, 0x24}) +  // 05 03 24
      Bytes({0x1C, 'C', 0x14, 0x07}) +                                          // 14:07
      Bytes({0x1C, 'D', 0, 0, 0, 0, 0x01, 0x25}) + Bytes({0x1C, 'E', 0, 0, 0, 0, 0, 0}) +
      Bytes({0x1C, 'F', 0x04, 0x84, 0x1C, 'G', 0, 0x1C, 'H', 0});
  ASSERT_EQ(message.size(), 64u);
  EXPECT_EQ(frame.substr(1, 3), "064");
  EXPECT_EQ(TextoAHex(frame), TextoAHex(Framed(message)));
}

TEST(OptimumFrames, C54DigitsAreDecimalPackedNotBinary) {
  const platform::WallTime new_year_eve{{2099, 12, 31}, 23, 59, 59};
  const std::string frame =
      OPTIMUM().C54(Money::FromCentavos(99999999999900), Money::FromCentavos(4000), new_year_eve);
  ASSERT_EQ(frame.size(), 70u);
  EXPECT_EQ(TextoAHex(frame.substr(35, 3)), "31 12 99 ");
  EXPECT_EQ(TextoAHex(frame.substr(40, 2)), "23 59 ");
  EXPECT_EQ(TextoAHex(frame.substr(44, 6)), "99 99 99 99 99 99 ");
  EXPECT_EQ(TextoAHex(frame.substr(52, 6)), "00 00 00 00 00 40 ");
}

TEST(OptimumFrames, C54RefusesAmountsItsFieldCannotCarry) {
  const OPTIMUM optimum;
  const auto c54 = [&](std::int64_t monto, std::int64_t propina) {
    return optimum.C54(Money::FromCentavos(monto), Money::FromCentavos(propina), k5Mar2024At1407);
  };
  // Centavos would put a decimal point into the BCD bytes: no frame at all instead.
  EXPECT_EQ(c54(12550, 0), "");
  EXPECT_EQ(c54(12500, 1), "");
  EXPECT_EQ(c54(-500, 0), "");
  EXPECT_EQ(c54(100'000'000'000'000, 0), "");  // thirteen digits of pesos
  EXPECT_EQ(c54(0, 0).size(), 70u);
}

TEST(OptimumFrames, TextCommandsAndTheirFields) {
  const OPTIMUM optimum;
  EXPECT_EQ(optimum.C53(), Framed("C53ADESLICE TARJETA"));
  EXPECT_EQ(optimum.ArmaMensaje("Imprimiendo Voucher..."), Framed("C50AImprimiendo Voucher..."));
  EXPECT_EQ(optimum.C58("HOLA"), Framed("C58AHOLA"));
  // A: first character of 123; B: 5 as "05"; C: the last two of "00123"; D as text.
  EXPECT_EQ(optimum.C52(123, 5, 123, "PIN"), Framed("C52A1\x1C"
                                                    "B05\x1C"
                                                    "C23\x1C"
                                                    "DPIN"));
}

TEST(OptimumFrames, DisplayTextGoesOutAsWindows1252AndIsCountedInBytes) {
  const std::string frame = OPTIMUM().ArmaMensaje("A\xC3\xB1o");  // "Año" in UTF-8
  EXPECT_EQ(frame, Framed("C50AA\xF1o"));
  EXPECT_EQ(frame.substr(1, 3), "007");
}

TEST(OptimumFrames, MessageLongerThanTheLengthDigitsGivesNoFrame) {
  const OPTIMUM optimum;
  EXPECT_EQ(optimum.ArmaMensaje(std::string(995, 'X')).substr(1, 3), "999");
  EXPECT_EQ(optimum.ArmaMensaje(std::string(996, 'X')), "");
  EXPECT_EQ(optimum.C58(std::string(2000, 'X')), "");
}

TEST(OptimumObtenTrack, StripeCard) {
  const Dictionary card =
      OPTIMUM().ObtenTrack(P54({{'A', kTrack1}, {'B', kTrack2}, {'C', "0"}, {'D', "0"}}));
  EXPECT_EQ(card.Keys(), (std::vector<std::string>{"Track1", "Track2", "PosEntryMode", "EMV_Tags",
                                                   "ARQC", "AID", "Exp", "ServiceCode"}));
  EXPECT_EQ(card.Item("Track1"), kTrack1);
  EXPECT_EQ(card.Item("Track2"), kTrack2);
  EXPECT_EQ(card.Item("PosEntryMode"), "1");
  EXPECT_EQ(card.Item("EMV_Tags"), "");
  EXPECT_EQ(card.Item("ARQC"), "");
}

TEST(OptimumObtenTrack, PosEntryModeFromFieldsCAndD) {
  const OPTIMUM optimum;
  const auto mode = [&](const std::string& c, const std::string& d) {
    return optimum.ObtenTrack(P54({{'A', kTrack1}, {'B', kTrack2}, {'C', c}, {'D', d}}))
        .Item("PosEntryMode");
  };
  EXPECT_EQ(mode("0", "0"), "1");
  EXPECT_EQ(mode("1", "0"), "2");
  EXPECT_EQ(mode("0", "1"), "3");
  EXPECT_EQ(mode("1", "1"), "0");
  EXPECT_EQ(mode("2", "0"), "0");
  // Without D there is no way to tell how the card was read.
  EXPECT_EQ(
      optimum.ObtenTrack(P54({{'A', kTrack1}, {'B', kTrack2}, {'C', "0"}})).Item("PosEntryMode"),
      "0");
}

TEST(OptimumObtenTrack, ChipCardWithFieldG) {
  const std::string emv =
      "5F2A040484"
      "8414A0000000031010"
      "9A06240305"
      "9F26161122334455667788";
  const Dictionary card = OPTIMUM().ObtenTrack(
      P54({{'A', ""}, {'B', kTrack2}, {'C', "1"}, {'D', "0"}, {'F', "01"}, {'G', emv}}));
  EXPECT_EQ(card.Item("PosEntryMode"), "2");
  EXPECT_EQ(card.Item("Track1"), "");
  EXPECT_EQ(card.Item("Track2"), kTrack2);
  EXPECT_EQ(card.Item("EMV_Tags"),
            "5F2A020484"
            "8407A0000000031010"
            "9F26081122334455667788");
  EXPECT_EQ(card.Item("ARQC"), "1122334455667788");
  EXPECT_EQ(card.Item("AID"), "A0000000031010");
}

TEST(OptimumObtenTrack, AnswersWithoutCardData) {
  const OPTIMUM optimum;
  for (const std::string& answer :
       {TextoAHex(Framed("E54A13")), std::string(), std::string("garbage without blanks"),
        TextoAHex(Framed("P57A123456"))}) {
    const Dictionary card = optimum.ObtenTrack(answer);
    EXPECT_EQ(card.Count(), 8u);
    EXPECT_EQ(card.Item("PosEntryMode"), "0");
    EXPECT_EQ(card.Item("Track2"), "");
    EXPECT_EQ(card.Item("Exp"), "");
  }
  // The acceptance "P54A00" ahead of the answer is read as field A up to the first FS.
  const Dictionary card = optimum.ObtenTrack(
      TextoAHex(Framed("P54A00")) + P54({{'A', kTrack1}, {'B', kTrack2}, {'C', "0"}, {'D', "0"}}));
  EXPECT_EQ(card.Item("Track2"), kTrack2);
  EXPECT_EQ(card.Item("PosEntryMode"), "1");
}

TEST(OptimumObtenTrack, ExpiryAndServiceCodeFromTrack2) {
  const OPTIMUM optimum;
  const auto read = [&](const std::string& track2) {
    return optimum.ObtenTrack(P54({{'A', ""}, {'B', track2}, {'C', "0"}, {'D', "0"}}));
  };
  const Dictionary whole = read("4152000000000016=2512101");
  EXPECT_EQ(whole.Item("Exp"), "2512");
  EXPECT_EQ(whole.Item("ServiceCode"), "1");
  const Dictionary shortened = read("4152=25");
  EXPECT_EQ(shortened.Item("Exp"), "25");
  EXPECT_EQ(shortened.Item("ServiceCode"), "");
  const Dictionary without_separator = read("41520000000000162512101");
  EXPECT_EQ(without_separator.Item("Exp"), "");
  EXPECT_EQ(without_separator.Item("ServiceCode"), "");
}

TEST(OptimumTagsValidos, DecimalCountsBecomeOneByteHexLengths) {
  const Dictionary tags = OPTIMUM().TagsValidos("9F26161122334455667788");
  EXPECT_EQ(tags.Keys(), (std::vector<std::string>{"EMV_Tags", "ARQC", "AID"}));
  EXPECT_EQ(tags.Item("EMV_Tags"), "9F26081122334455667788");
  EXPECT_EQ(tags.Item("ARQC"), "1122334455667788");
  EXPECT_EQ(tags.Item("AID"), "");
}

TEST(OptimumTagsValidos, TableOrderCopiedAndRemovedRows) {
  // Answer order 9F26, 9A, 84, 9F03, 5F34 (blanks included): the output follows the table,
  // 9A and 9F03 are taken out without being copied, 5F34 comes after the 9F rows before it.
  const Dictionary tags = OPTIMUM().TagsValidos(
      "9F26 16 1122334455667788 9A06240305 8414A0000000031010 9F0312000000000000 5F340201");
  EXPECT_EQ(tags.Item("EMV_Tags"),
            "8407A0000000031010"
            "9F26081122334455667788"
            "5F340101");
  EXPECT_EQ(tags.Item("AID"), "A0000000031010");
  EXPECT_EQ(tags.Item("ARQC"), "1122334455667788");
}

TEST(OptimumTagsValidos, ElementsThatCannotBeSentWholeAreLeftOut) {
  const OPTIMUM optimum;
  // Odd count (not whole bytes), a count that is not two digits, a value past the end.
  EXPECT_EQ(optimum.TagsValidos("9F2615112233445566778").Item("EMV_Tags"), "");
  EXPECT_EQ(optimum.TagsValidos("9F26XX1122334455667788").Item("EMV_Tags"), "");
  const Dictionary past_end = optimum.TagsValidos(
      "9F36040001"
      "9F269911223344");
  EXPECT_EQ(past_end.Item("EMV_Tags"), "9F36020001");
  EXPECT_EQ(past_end.Item("ARQC"), "");
  EXPECT_EQ(optimum.TagsValidos("").Item("EMV_Tags"), "");
  // A count of zero is a whole, empty element.
  EXPECT_EQ(optimum.TagsValidos("9F2700").Item("EMV_Tags"), "9F2700");
}

TEST(OptimumTagsValidos, SearchIsByTextAsTheTerminalHasAlwaysBeenRead) {
  // The row 82 (searched before 9F37) finds "82" inside 9F37's value and reads "9F" as its
  // count, which is no number: that row is left out, and 9F37 is still read whole.
  const Dictionary tags = OPTIMUM().TagsValidos("9F3708A1829F2616");
  EXPECT_EQ(tags.Item("EMV_Tags"), "9F3704A1829F26");
}

}  // namespace
}  // namespace tovalix::drivers::optimum
