// The Optimum's frames byte by byte and its answers parsed, against frames written out here by
// hand from the terminal's protocol (not with the builders under test).
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "drivers/optimum/commands.hpp"
#include "serial/generales.hpp"
#include "sim/pinpad/framing.hpp"
#include "support/test_environment.hpp"

namespace tovalix::drivers::optimum {
namespace {

using serial::TextoAHex;
using sim::OptimumFrame;

const platform::WallTime k5Mar2024At1407{{2024, 3, 5}, 14, 7, 9};

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (const int v : values) out += static_cast<char>(v);
  return out;
}

// A P54 answer as the flow hands it to ObtenTrack: spaced hex of the frame's bytes.
std::string P54(const std::vector<std::pair<char, std::string>>& fields) {
  std::string message = "P54";
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) message += '\x1C';
    message += fields[i].first + fields[i].second;
  }
  return TextoAHex(OptimumFrame(message));
}

const std::string kTrack1 = "B4152000000000016^PRUEBA/TARJETA^2512101000000000000";
const std::string kTrack2 = "4152000000000016=25121010000000000";

TEST(OptimumFrames, EachBuilderGivesItsBytes) {
  const OPTIMUM optimum;
  const auto c54 = [&](std::int64_t monto, std::int64_t propina,
                       const platform::WallTime& at = k5Mar2024At1407) {
    return optimum.C54(Money::FromCentavos(monto), Money::FromCentavos(propina), at);
  };
  const std::string big = c54(99999999999900, 4000, {{2099, 12, 31}, 23, 59, 59});
  const std::pair<std::string, std::string> rows[] = {
      {optimum.C57(),
       "\x02"
       "003C57\x03\x71"},
      {optimum.Notify("00"),
       "\x02"
       "010C54A00\x1C"
       "B00\x03\x6F"},
      // A decline: B "01", and the LRC follows the one changed bit.
      {optimum.Notify("01"),
       "\x02"
       "010C54A00\x1C"
       "B01\x03\x6E"},
      // Date, time and amounts as BCD: 05 03 24, 14 07, 125 pesos.
      {c54(12500, 0),
       OptimumFrame("C54AINSERTE O DESLICE TARJETA" + Bytes({0x1C, 'B', 0x05, 0x03, 0x24}) +
                    Bytes({0x1C, 'C', 0x14, 0x07}) + Bytes({0x1C, 'D', 0, 0, 0, 0, 0x01, 0x25}) +
                    Bytes({0x1C, 'E', 0, 0, 0, 0, 0, 0}) +
                    Bytes({0x1C, 'F', 0x04, 0x84, 0x1C, 'G', 0, 0x1C, 'H', 0}))},
      // Digits are decimal packed, not binary.
      {big.substr(35, 3), Bytes({0x31, 0x12, 0x99})},
      {big.substr(40, 2), Bytes({0x23, 0x59})},
      {big.substr(44, 6), Bytes({0x99, 0x99, 0x99, 0x99, 0x99, 0x99})},
      {big.substr(52, 6), Bytes({0, 0, 0, 0, 0, 0x40})},
      {c54(0, 0).substr(1, 3), "064"},
      // Centavos would put a decimal point into the BCD bytes: no frame at all instead.
      {c54(12550, 0), ""},
      {c54(12500, 1), ""},
      {c54(-500, 0), ""},
      {c54(100'000'000'000'000, 0), ""},  // thirteen digits of pesos
      {optimum.ArmaMensaje("Imprimiendo Voucher..."), OptimumFrame("C50AImprimiendo Voucher...")},
      // Display text goes out as Windows-1252 and is counted in bytes: "Año" is 3 bytes.
      {optimum.ArmaMensaje("A\xC3\xB1o"), OptimumFrame("C50AA\xF1o")},
      // A message longer than the length digits can say gives no frame.
      {optimum.ArmaMensaje(std::string(995, 'X')).substr(1, 3), "999"},
      {optimum.ArmaMensaje(std::string(996, 'X')), ""},
  };
  for (const auto& [built, expected] : rows) EXPECT_EQ(TextoAHex(built), TextoAHex(expected));
}

TEST(OptimumObtenTrack, EveryAnswerGivesEveryKeyInItsOrder) {
  const auto p54 = [](const std::string& track1, const std::string& c, const std::string& d) {
    return P54({{'A', track1}, {'B', kTrack2}, {'C', c}, {'D', d}});
  };
  const struct {
    std::string answer;
    // Track1, Track2, PosEntryMode, EMV_Tags, ARQC, AID, Exp, ServiceCode
    std::array<std::string, 8> values = {};
  } rows[] = {
      {p54(kTrack1, "0", "0"), kTrack1, kTrack2, "1", "", "", "", "2512", "1"},
      // C "1" and D "0" is a chip card, "0" and "1" a swipe after a failed chip read.
      {p54(kTrack1, "1", "0"), kTrack1, kTrack2, "2", "", "", "", "2512", "1"},
      {p54(kTrack1, "0", "1"), kTrack1, kTrack2, "3", "", "", "", "2512", "1"},
      {p54(kTrack1, "1", "1"), kTrack1, kTrack2, "0", "", "", "", "2512", "1"},
      {p54(kTrack1, "2", "0"), kTrack1, kTrack2, "0", "", "", "", "2512", "1"},
      // Without D there is no way to tell how the card was read.
      {P54({{'A', kTrack1}, {'B', kTrack2}, {'C', "0"}}), kTrack1, kTrack2, "0", "", "", "", "2512",
       "1"},
      {P54({{'A', ""},
            {'B', kTrack2},
            {'C', "1"},
            {'D', "0"},
            {'F', "01"},
            {'G', "5F2A0404848414A00000000310109A062403059F26161122334455667788"}}),
       "", kTrack2, "2", "5F2A0204848407A00000000310109F26081122334455667788", "1122334455667788",
       "A0000000031010", "2512", "1"},
      // Answers without card data.
      {TextoAHex(OptimumFrame("E54A13")), "", "", "0"},
      {"", "", "", "0"},
      {"garbage without blanks", "", "", "0"},
      {TextoAHex(OptimumFrame("P57A123456")), "", "", "0"},
      // The acceptance "P54A00" ahead of the answer: field A runs from it up to the first FS.
      {TextoAHex(OptimumFrame("P54A00")) + p54(kTrack1, "0", "0"),
       "00\x03\x25\x02"
       "098P54A" +
           kTrack1,
       kTrack2, "1", "", "", "", "2512", "1"},
      // Expiry and service code from track 2, as far as it goes.
      {P54({{'A', ""}, {'B', "4152=25"}, {'C', "0"}, {'D', "0"}}), "", "4152=25", "1", "", "", "",
       "25"},
      {P54({{'A', ""}, {'B', "41520000000000162512101"}, {'C', "0"}, {'D', "0"}}), "",
       "41520000000000162512101", "1"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(OPTIMUM().ObtenTrack(row.answer).Entries(),
              testing::EntriesOf({"Track1", "Track2", "PosEntryMode", "EMV_Tags", "ARQC", "AID",
                                  "Exp", "ServiceCode"},
                                 row.values))
        << row.answer;
  }
}

TEST(OptimumTagsValidos, DecimalCountsBecomeOneByteLengthsInTableOrder) {
  const struct {
    std::string tags, emv_tags, arqc = "", aid = "";
  } rows[] = {
      {"9F26161122334455667788", "9F26081122334455667788", "1122334455667788"},
      {"9F102000112233445566778899", "9F100A00112233445566778899"},  // ten bytes: 0A
      // Answer order 9F26, 9A, 84, 9F03, 5F34 (blanks included): the output follows the table,
      // 9A and 9F03 are taken out without being copied, 5F34 comes after the 9F rows before it.
      {"9F26 16 1122334455667788 9A06240305 8414A0000000031010 9F0312000000000000 5F340201",
       "8407A00000000310109F260811223344556677885F340101", "1122334455667788", "A0000000031010"},
      // Elements that cannot be sent whole are left out: an odd count (not whole bytes), a
      // count that is not two digits, a value past the end.
      {"9F2615112233445566778", ""},
      {"9F26XX1122334455667788", ""},
      {"9F360400019F269911223344", "9F36020001"},
      {"", ""},
      // A count of zero is a whole, empty element.
      {"9F2700", "9F2700"},
      // The row 82 (searched before 9F37) finds "82" inside 9F37's value and reads "9F" as its
      // count, which is no number: that row is left out, and 9F37 is still read whole.
      {"9F3708A1829F2616", "9F3704A1829F26"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(OPTIMUM().TagsValidos(row.tags).Entries(),
              testing::EntriesOf({"EMV_Tags", "ARQC", "AID"}, {row.emv_tags, row.arqc, row.aid}));
  }
}

}  // namespace
}  // namespace tovalix::drivers::optimum
