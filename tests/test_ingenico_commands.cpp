// The Ingenico 3070 / iPP320 command set: exact frames, the answer check, and the readers of
// IC0 card readings, EMV data and keyboard entries. Answers are laid out here byte by byte,
// the way the PIN pad sends them.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <tovalix/ipp320.hpp>
#include <vector>

#include "drivers/ingenico/commands.hpp"
#include "drivers/ingenico/logo.hpp"
#include "serial/generales.hpp"
#include "sim/pinpad/framing.hpp"
#include "support/test_environment.hpp"

namespace tovalix::drivers::ingenico {
namespace {

using tovalix::testing::RecordingOperator;

constexpr platform::WallTime kSaleTime{{2025, 12, 6}, 18, 34, 49};
const std::string kPan = "4761739001010119";  // a test card number
const std::string kZeros32 = std::string(64, '0');
const std::string kBlanks32 = std::string(32, ' ');

// Compact hex of bytes.
std::string Hex(const std::string& bytes) {
  std::string hex = serial::TextoAHex(bytes);
  std::erase(hex, ' ');
  return hex;
}

// The expected frame text for a command and its data (compact hex); an LRC below 10 is one digit.
std::string ExpectedFrame(const std::string& letters, const std::string& data_hex) {
  std::string hex = Hex(sim::LengthFrame(letters, serial::HexATexto(data_hex)));
  if (hex[hex.size() - 2] == '0') hex.erase(hex.size() - 2, 1);
  return hex;
}

// The data bytes of a frame text (between the length and ETX), as compact hex.
std::string DataOf(const std::string& frame) {
  if (frame.size() < 16) return "";
  return frame.substr(12, frame.size() - 12 - 2 - (frame.size() % 2 == 0 ? 2 : 1));
}

class IngenicoFrames : public ::testing::Test {
 protected:
  RecordingOperator op;
  Ingenico pinpad{op, kSaleTime};
};

TEST_F(IngenicoFrames, EachBuilderGivesItsWholeFrame) {
  std::string forty = "TOTAL A PAGAR 150.50 GRACIAS POR SU COMP";
  std::string empty;
  std::string accented = "AÑO";
  const std::string ic1_tail = "20251206183449" + kZeros32 + "00099F269F27959F369F41";
  const std::string config = "0840" + Hex("MXN") +
                             "D84004F8000010000000D84000A800E0F8C06000F0F040000000012000" +
                             "03781E1E0000000000000000FF" +
                             Hex("Procesando ...  Inserte Tarjeta Ingrese PIN     Ultimo Intento  "
                                 "FIRM.ELECTRONICA   INCORRECTA   ") +
                             kZeros32;
  const std::pair<std::string, std::string> rows[] = {
      // Body 43 46 31 00 00, then ETX: LRC 43^46^31^03 = 37.
      {pinpad.ObtenSerial(), "0243463100000337"},
      {pinpad.RefreshLogo(), "024453500001FE03BB"},
      {pinpad.ArmaMensaje(forty), ExpectedFrame("DSP", "13" + Hex(forty.substr(0, 32)))},
      {pinpad.ArmaMensaje(empty), ExpectedFrame("DSP", "13" + Hex(kBlanks32))},
      // Accented text goes to the display in Windows-1252.
      {pinpad.ArmaMensaje(accented), ExpectedFrame("DSP", "1341D14F" + Hex(kBlanks32.substr(3)))},
      {pinpad.LimpiaPantalla(), ExpectedFrame("DSP", "11" + Hex(kBlanks32))},
      {pinpad.RetireTarjeta(" RETIRE TARJETA"),
       ExpectedFrame("RMV", Hex(" RETIRE TARJETA" + kBlanks32.substr(15)))},
      // LRC 0A: one digit in the text, one byte on the wire.
      {pinpad.RetireTarjeta("PAGOY"), "02524D560020" + Hex("PAGOY" + kBlanks32.substr(5)) + "03A"},
      {pinpad.IC0(150.5, 0, "Inserte /Deslice "),
       ExpectedFrame("IC0", Hex("Inserte /Deslice " + kBlanks32.substr(17)) + "20251206" +
                                "183449" +                  // date and time, packed
                                "000000015050" +            // 150.50
                                "000000000000" +            // no tip
                                "01" + kZeros32 + "003F" +  // 34 tags, in this order
                                "5F285F2A5F349F029F079F099F0D9F0E9F0F9F109F159F1A9F1C9F269F27"
                                "9F339F349F359F369F379F399F419F169F1E9F215F259F019F039F53959C"
                                "9A8284")},
      {pinpad.IC1("00", "00", "123456"), ExpectedFrame("IC1", "00" + Hex("00123456") + ic1_tail)},
      {pinpad.IC1("01", "01", ""), ExpectedFrame("IC1", "01" + Hex("01") + ic1_tail)},
      {pinpad.Libera(), ExpectedFrame("IC1", "0200000000000000" + ic1_tail)},
      // "PW", maximum, minimum, then 01 01.
      {pinpad.CapturaEnPinPad(4, 3), ExpectedFrame("KBD", "505704030101")},
      {pinpad.CapturaEnPinPad(255, 16), ExpectedFrame("KBD", "5057FF100101")},
      {pinpad.ConfigPinPad(), ExpectedFrame("CF0", config)},
  };
  for (const auto& [built, expected] : rows) EXPECT_EQ(built, expected);
  // The caller's text comes back in its 32-character form, in UTF-8.
  EXPECT_EQ(forty, "TOTAL A PAGAR 150.50 GRACIAS POR");
  EXPECT_EQ(empty, kBlanks32);
  EXPECT_EQ(accented, "AÑO" + kBlanks32.substr(3));
  EXPECT_EQ(pinpad.VerificaRespuesta(serial::HexATexto(rows[7].first), kCodigoRMV), 1);
  EXPECT_EQ(pinpad.VerificaRespuesta(serial::HexATexto(rows[8].first), kCodigoIC0), 1);
  EXPECT_EQ(pinpad.VerificaRespuesta(serial::HexATexto(rows[8].first), kCodigoIC1), 0);
  EXPECT_TRUE(op.shown.empty());
}

TEST_F(IngenicoFrames, WhatAFrameCannotCarryBuildsNoFrameAndIsShown) {
  const std::string range = "Monto fuera del rango del PIN pad";
  const std::pair<double, std::string> amounts[] = {
      {10.1 * 3, "000000003030"},  // 30.299999999999997
      {9999999999.99, "999999999999"},
      // The cardholder must approve the amount charged: a fraction of a centavo is never rounded.
      {1.005, "Monto con fracción de centavo"},
      {1e10, range},
      {-0.01, range},
      {std::nan(""), range},
  };
  for (const auto& [amount, expected] : amounts) {
    op.shown.clear();
    const std::string data = DataOf(pinpad.IC0(amount, 0, ""));
    EXPECT_EQ(data.empty() ? op.shown.at(0).text : data.substr(78, 12), expected) << amount;
  }
  EXPECT_EQ(op.shown.at(0).style, Operator::kPlain);
  op.shown.clear();
  EXPECT_EQ(pinpad.IC0(10, -1, ""), "");
  // A status that is not one hex byte would shift every field after it.
  for (const char* bad : {"0", "000", "0G", ""}) EXPECT_EQ(pinpad.IC1(bad, "00", "1"), "") << bad;
  EXPECT_EQ(pinpad.CapturaEnPinPad(256, 3), "");
  EXPECT_EQ(pinpad.CapturaEnPinPad(4, -1), "");
  EXPECT_EQ(op.shown.size(), 7u);
}

TEST_F(IngenicoFrames, LogoIsThePicturePackedRowByRow) {
  const std::string frame = pinpad.ArmaLogo();
  EXPECT_EQ(frame.substr(8, 6), "0201FF");
  const std::string bitmap = serial::HexATexto(DataOf(frame)).substr(1);
  ASSERT_EQ(bitmap.size(), 512u);
  // Row 4 is the card's top edge: pixels 4 to 35 dark.
  EXPECT_EQ(Hex(bitmap.substr(4 * 16, 6)), "0FFFFFFFF000");
  // Row 9, the top of the letter T from pixel 42 on: 0b00111111 11110000 in bytes 5 and 6.
  EXPECT_EQ(Hex(bitmap.substr(9 * 16 + 5, 2)), "3FF0");
  int dark = 0;
  for (const char c : bitmap) dark += __builtin_popcount(static_cast<unsigned char>(c));
  int hashes = 0;
  for (const char c : kLogoPicture) hashes += c == '#';
  EXPECT_EQ(dark, hashes);
  EXPECT_EQ(pinpad.VerificaRespuesta(serial::HexATexto(frame), kCodigoDSP), 1);
}

// ---------------------------------------------------------------------------------------
// Answers

std::string Packed(std::string digits) {
  if (digits.size() % 2 != 0) digits += 'F';
  return serial::HexATexto(digits);
}

std::string Tlv(const std::string& tag, const std::string& value_hex) {
  return serial::HexATexto(tag) + static_cast<char>(value_hex.size() / 2) +
         serial::HexATexto(value_hex);
}

// An IC0 answer as the PIN pad sends it, in spaced hex. Positions count from 1 at the first
// length byte: 3 status, 23 track 2 length, 44 track 1 length, 139-140 EMV length.
std::string Ic0Answer(std::uint8_t status, const std::string& track2_digits,
                      const std::string& track1, const std::string& emv) {
  const std::string t2 = track2_digits.empty() ? "" : Packed(track2_digits);
  std::string data(1, static_cast<char>(status));
  data += std::string(19, '\0');
  data += static_cast<char>(t2.size());
  data += t2 + std::string(20 - t2.size(), '\0');
  data += static_cast<char>(track1.size());
  data += track1 + std::string(94 - track1.size(), '\xFF');
  data += static_cast<char>(emv.size() >> 8);
  data += static_cast<char>(emv.size() & 0xFF);
  data += emv;
  return serial::TextoAHex("\x06" + sim::LengthFrame("IC0", data));  // after the ACK of our command
}

const std::string kTrack1 = "B" + kPan + "^PRUEBA/TARJETA^25122011000000000000";

using IngenicoAnswers = IngenicoFrames;

TEST_F(IngenicoAnswers, ReadingsGiveEveryKeyInItsOrder) {
  // Sent by the card in its own order; 9A and 9F41 are not sent on.
  const std::string chip =
      Ic0Answer(0x00, kPan + "D25122011000", kTrack1,
                Tlv("84", "A0000000031010") + Tlv("9A", "251206") +
                    Tlv("9F26", "1A2B3C4D5E6F7081") + Tlv("95", "0000008000") +
                    Tlv("5F2A", "0484") + Tlv("9F41", "00000001") + Tlv("9F02", "000000015050"));
  const std::string kept =
      "5F2A0204849F02060000000150509F26081A2B3C4D5E6F7081950500000080008407A0000000031010";
  // A chip card's track 1 read normally: 81 bytes from its length byte, the 0xFF padding
  // coming back as the character U+00FF in UTF-8.
  std::string whole = static_cast<char>(kTrack1.size()) + kTrack1;
  for (std::size_t i = kTrack1.size(); i < 80; ++i) whole += "\xC3\xBF";
  const struct {
    std::string answer;
    std::int16_t modo;
    std::array<std::string, 8> values;  // in key order
  } rows[] = {
      {"43 46 30 00 00 03 37 ", 0, {}},
      {Ic0Answer(0x06, kPan + "D2512201", "", ""), 3, "2", "", kPan + "=2512201", "06", "", "", "",
       "2512"},
      // Eleven bytes of track 2 are too few to say where the service code is.
      {Ic0Answer(0x06, kPan + "D25122", "", ""), 0, "", "", kPan + "=25122", "06", "", "", "",
       "2512"},
      // A stripe-only card's track 1 is read by its length in either mode.
      {Ic0Answer(0x06, kPan + "D25121011000", kTrack1, ""), 0, "1", kTrack1, kPan + "=25121011000",
       "06", "", "", "", "2512"},
      {chip, 0, "2", whole, kPan + "=25122011000", "00", kept, "1A2B3C4D5E6F7081", "A0000000031010",
       "2512"},
      {Ic0Answer(0x00, kPan + "D25126011000", kTrack1, ""), 0, "6", whole, kPan + "=25126011000",
       "00", "", "", "", "2512"},
      // A reading cancelled on the PIN pad may carry nothing after its status.
      {"06 02 49 43 30 00 01 03 03 4A ", 0, "", "", "", "03", "", "", "", ""},
  };
  for (const auto& row : rows) {
    const auto tracks = pinpad.ObtenTracks(row.answer, row.modo);
    ASSERT_TRUE(tracks.has_value()) << row.answer;
    EXPECT_EQ(tracks->Entries(),
              tovalix::testing::EntriesOf(
                  {"ServiceCode", "Track1", "Track2", "Status", "EMV_Tags", "ARQC", "AID", "Exp"},
                  row.values))
        << row.answer;
  }
  EXPECT_TRUE(op.shown.empty());
}

TEST_F(IngenicoAnswers, TagsAreTakenInTableOrderByText) {
  const std::pair<std::string, std::vector<Dictionary::Entry>> rows[] = {
      // "84" also occurs inside the currency code 0484; 5F2A comes first in the table, so its
      // object is taken and removed before 84 is looked for.
      {"5F 2A 02 04 84 84 07 A0 00 00 00 03 10 10 ",
       {{"EMV_Tags", "5F2A0204848407A0000000031010"}, {"ARQC", ""}, {"AID", "A0000000031010"}}},
      // Lower-case hex from a host is read the same way.
      {"9f26021a2b", {{"EMV_Tags", "9F26021A2B"}, {"ARQC", "1A2B"}, {"AID", ""}}},
      // An object cut short keeps what was found before it, and is reported.
      {"9F2602AABB 8407A000", {{"EMV_Tags", "9F2602AABB"}, {"ARQC", "AABB"}, {"AID", ""}}},
  };
  for (const auto& [cadena, expected] : rows) {
    EXPECT_EQ(pinpad.TagsValidos(cadena).Entries(), expected) << cadena;
  }
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"Respuesta del PIN pad incompleta"});
}

TEST_F(IngenicoAnswers, MalformedReadingsGiveNoDictionaryAndAreLoggedWithoutTheCard) {
  tovalix::testing::ScratchFolder folder;
  tovalix::testing::ScopedEnv log_dir("TOVALIX_LOG_DIR", folder.path().string());
  // A reading cut inside its EMV data, and one whose track 2 length is not hex.
  const std::string good =
      Ic0Answer(0x00, kPan + "D25122011000", kTrack1, Tlv("9F26", "1A2B3C4D5E6F7081"));
  EXPECT_FALSE(pinpad.ObtenTracks(good.substr(0, good.size() - 5 * 3), 0).has_value());
  std::string bad_length = good;
  bad_length.replace(bad_length.find("49 43 30 ") + 9 + 22 * 3, 2, "G1");
  EXPECT_FALSE(pinpad.ObtenTracks(bad_length, 0).has_value());
  ASSERT_EQ(op.shown.size(), 2u);
  EXPECT_EQ(op.shown[0].text, "Respuesta del PIN pad incompleta");
  const std::string log = tovalix::testing::ReadFile(folder / "tovalix.log");
  EXPECT_NE(log.find("Respuesta del PIN pad incompleta"), std::string::npos);
  EXPECT_EQ(log.find(kPan), std::string::npos);
}

TEST_F(IngenicoAnswers, KeyboardEntryIsTheDataAfterItsFirstByte) {
  const std::string kbd =
      serial::TextoAHex(serial::HexATexto(ExpectedFrame("KBD", "00" + Hex("123"))));
  EXPECT_EQ(pinpad.ObtenCVV2(kbd), "31 32 33 ");
  EXPECT_EQ(pinpad.ObtenCVV2(serial::TextoAHex(serial::HexATexto(ExpectedFrame("KBD", "")))), "");
  EXPECT_EQ(pinpad.ObtenCVV2("49 43 30 00 01 03 "), "");
  EXPECT_TRUE(op.shown.empty());
  EXPECT_EQ(pinpad.ObtenCVV2(kbd.substr(0, 8 * 3)), "");  // count says 4, two bytes came
  EXPECT_EQ(op.shown.size(), 1u);
}

TEST_F(IngenicoAnswers, PublicClassGivesTheDriversResultsAndChangesTheCallersText) {
  IPP320 moved(op);
  IPP320 device = std::move(moved);
  std::string text = "HOLA";
  std::string same = text;
  EXPECT_EQ(device.ArmaMensaje(text), pinpad.ArmaMensaje(same));
  EXPECT_EQ(text, same);
  const std::string kbd = serial::TextoAHex(serial::HexATexto(ExpectedFrame("KBD", "0031")));
  const std::string tags = "9F2602AABB8407A0000000031010";
  // The stamped frames are compared up to their date: the class builds with its own clock.
  const std::pair<std::string, std::string> rows[] = {
      {device.RefreshLogo(), pinpad.RefreshLogo()},
      {device.ObtenSerial(), pinpad.ObtenSerial()},
      {device.RetireTarjeta("RETIRE"), pinpad.RetireTarjeta("RETIRE")},
      {device.CapturaEnPinPad(4, 3), pinpad.CapturaEnPinPad(4, 3)},
      {device.ObtenCVV2(kbd), pinpad.ObtenCVV2(kbd)},
      {device.LimpiaPantalla(), pinpad.LimpiaPantalla()},
      {device.ArmaLogo(), pinpad.ArmaLogo()},
      {device.ConfigPinPad(), pinpad.ConfigPinPad()},
      {device.IC0(150.5, 0, "X").substr(0, 76), pinpad.IC0(150.5, 0, "X").substr(0, 76)},
      {device.IC1("01", "01", "").substr(0, 18), pinpad.IC1("01", "01", "").substr(0, 18)},
      {device.Libera().substr(0, 28), pinpad.Libera().substr(0, 28)},
      {device.TagsValidos(tags).ToJson(), pinpad.TagsValidos(tags).ToJson()},
      {device.ObtenTracks(Ic0Answer(6, kPan + "D2512201", kTrack1, ""), 3).value().ToJson(),
       pinpad.ObtenTracks(Ic0Answer(6, kPan + "D2512201", kTrack1, ""), 3).value().ToJson()},
  };
  for (const auto& [public_result, driver_result] : rows) EXPECT_EQ(public_result, driver_result);
  EXPECT_EQ(device.VerificaRespuesta(serial::HexATexto(rows[0].first), "445350"), 1);
  EXPECT_EQ(device.IC1("X", "00", "1"), "");
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"Estatus no válido para el PIN pad"});
}

}  // namespace
}  // namespace tovalix::drivers::ingenico
