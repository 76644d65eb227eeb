// The Ingenico 3070 / iPP320 command set: exact frames, the answer check, and the readers of
// IC0 card readings, EMV data and keyboard entries. Answers are laid out here byte by byte,
// the way the PIN pad sends them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <tovalix/ipp320.hpp>
#include <vector>

#include "drivers/ingenico/commands.hpp"
#include "drivers/ingenico/logo.hpp"
#include "serial/generales.hpp"
#include "support/test_environment.hpp"

namespace tovalix::drivers::ingenico {
namespace {

using tovalix::testing::RecordingOperator;
using tovalix::testing::ScopedEnv;
using tovalix::testing::ScratchFolder;

constexpr platform::WallTime kSaleTime{{2025, 12, 6}, 18, 34, 49};
const std::string kPan = "4761739001010119";  // a test card number
const std::string kZeros32 = std::string(64, '0');

std::string Hex(std::string_view bytes) {
  std::string hex;
  for (const char c : bytes) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned char>(c));
    hex += pair;
  }
  return hex;
}

// The expected frame text for a command and its data (compact hex).
std::string ExpectedFrame(const std::string& letters, const std::string& data_hex) {
  const std::string data = serial::HexATexto(data_hex);
  char length[5];
  std::snprintf(length, sizeof length, "%04zX", data.size());
  std::uint8_t lrc = 0x03;
  for (const char c : letters + serial::HexATexto(length) + data) {
    lrc = static_cast<std::uint8_t>(lrc ^ static_cast<std::uint8_t>(c));
  }
  char lrc_text[3];
  std::snprintf(lrc_text, sizeof lrc_text, "%X", lrc);
  return "02" + Hex(letters) + length + data_hex + "03" + lrc_text;
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

TEST_F(IngenicoFrames, SerialRequestAndLogoRefreshAreFixedFrames) {
  // Body 43 46 31 00 00, then ETX: LRC 43^46^31^03 = 37.
  EXPECT_EQ(pinpad.ObtenSerial(), "0243463100000337");
  EXPECT_EQ(pinpad.RefreshLogo(), "024453500001FE03BB");
  EXPECT_TRUE(op.shown.empty());
}

TEST_F(IngenicoFrames, DisplayLineIsCutOrPaddedTo32AndReturnedToTheCaller) {
  std::string forty = "TOTAL A PAGAR 150.50 GRACIAS POR SU COMP";
  ASSERT_EQ(forty.size(), 40u);
  const std::string shown = forty.substr(0, 32);
  EXPECT_EQ(pinpad.ArmaMensaje(forty), ExpectedFrame("DSP", "13" + Hex(shown)));
  EXPECT_EQ(forty, shown);

  std::string empty;
  const std::string frame = pinpad.ArmaMensaje(empty);
  EXPECT_EQ(frame, ExpectedFrame("DSP", "13" + Hex(std::string(32, ' '))));
  EXPECT_EQ(empty, std::string(32, ' '));

  // Accented text goes to the display in Windows-1252 and comes back as UTF-8.
  std::string accented = "AÑO";
  EXPECT_EQ(DataOf(pinpad.ArmaMensaje(accented)), "1341D14F" + Hex(std::string(29, ' ')));
  EXPECT_EQ(accented, "AÑO" + std::string(29, ' '));

  EXPECT_EQ(pinpad.LimpiaPantalla(), ExpectedFrame("DSP", "11" + Hex(std::string(32, ' '))));
  EXPECT_EQ(pinpad.RetireTarjeta(" RETIRE TARJETA"),
            ExpectedFrame("RMV", Hex(std::string(" RETIRE TARJETA") + std::string(17, ' '))));
}

TEST_F(IngenicoFrames, LrcBelowSixteenIsOneDigitAndOneByteOnTheWire) {
  const std::string frame = pinpad.RetireTarjeta("PAGOY");
  ASSERT_EQ(frame.size() % 2, 1u);
  EXPECT_EQ(frame.substr(frame.size() - 3), "03A");
  const std::string wire = serial::HexATexto(frame);
  ASSERT_EQ(wire.size(), 1u + 3 + 2 + 32 + 1 + 1);
  EXPECT_EQ(wire[wire.size() - 2], serial::kEtx);
  EXPECT_EQ(wire.back(), '\x0A');
  EXPECT_EQ(pinpad.VerificaRespuesta(wire, kCodigoRMV), 1);
}

TEST_F(IngenicoFrames, CardReadingCarriesMessageStampAmountsAndTagList) {
  const std::string frame = pinpad.IC0(150.5, 0, "Inserte /Deslice ");
  const std::string expected_data =
      Hex("Inserte /Deslice " + std::string(15, ' ')) + "20251206" +
      "183449" +                  // date and time, packed
      "000000015050" +            // 150.50
      "000000000000" +            // no tip
      "01" + kZeros32 + "003F" +  // 34 tags, in this order
      "5F285F2A5F349F029F079F099F0D9F0E9F0F9F109F159F1A9F1C9F269F279F339F349F35"
      "9F369F379F399F419F169F1E9F215F259F019F039F53959C9A8284";
  ASSERT_EQ(expected_data.size(), 2u * 149);
  EXPECT_EQ(frame, ExpectedFrame("IC0", expected_data));
  EXPECT_EQ(pinpad.VerificaRespuesta(serial::HexATexto(frame), kCodigoIC0), 1);
  EXPECT_EQ(pinpad.VerificaRespuesta(serial::HexATexto(frame), kCodigoIC1), 0);
}

TEST_F(IngenicoFrames, AHostsAmountIsAWholeCentavoOrBuildsNoFrame) {
  const auto amount_field = [&](double amount) {
    const std::string data = DataOf(pinpad.IC0(amount, 0, ""));
    return data.empty() ? std::string("refused") : data.substr(78, 12);
  };
  EXPECT_EQ(amount_field(10.1 * 3), "000000003030");  // 30.299999999999997
  EXPECT_EQ(amount_field(1e-9), "000000000000");
  EXPECT_EQ(amount_field(9999999999.99), "999999999999");
  EXPECT_TRUE(op.shown.empty());
  // The cardholder must approve the amount charged: a fraction of a centavo is never rounded.
  for (const double sub_centavo : {0.005, 1.005, 0.004, 1234567.894}) {
    EXPECT_EQ(amount_field(sub_centavo), "refused") << sub_centavo;
    EXPECT_EQ(op.shown.back().text, "Monto con fracción de centavo");
  }
  op.shown.clear();
  for (const double bad : {9999999999.995, 1e10, 1e300, -0.01, -150.5, std::nan(""),
                           std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(amount_field(bad), "refused") << bad;
  }
  EXPECT_EQ(pinpad.IC0(10, -1, ""), "");
  ASSERT_EQ(op.shown.size(), 8u);
  EXPECT_EQ(op.shown[0].style, Operator::kPlain);
  EXPECT_EQ(op.shown[0].text, "Monto fuera del rango del PIN pad");
}

TEST_F(IngenicoFrames, AuthorizationResultAndReleaseFrames) {
  const std::string stamp = "20251206183449";
  const std::string tags = "00099F269F27959F369F41";  // nine bytes of five tags
  EXPECT_EQ(pinpad.IC1("00", "00", "123456"),
            ExpectedFrame("IC1", "00" + Hex("00") + Hex("123456") + stamp + kZeros32 + tags));
  EXPECT_EQ(pinpad.IC1("01", "01", ""),
            ExpectedFrame("IC1", "01" + Hex("01") + stamp + kZeros32 + tags));

  EXPECT_EQ(pinpad.Libera(), ExpectedFrame("IC1", "0200000000000000" + stamp + kZeros32 + tags));
  EXPECT_TRUE(op.shown.empty());

  // The status is written into the frame as it stands: anything but one hex byte would
  // shift every field after it.
  for (const char* bad : {"0", "000", "0G", ""}) EXPECT_EQ(pinpad.IC1(bad, "00", "1"), "") << bad;
  EXPECT_EQ(op.shown.size(), 4u);
}

TEST_F(IngenicoFrames, KeyboardEntryLengthsAreOneByteEach) {
  // "PW", maximum, minimum, then 01 01.
  EXPECT_EQ(pinpad.CapturaEnPinPad(4, 3), ExpectedFrame("KBD", "505704030101"));
  EXPECT_EQ(pinpad.CapturaEnPinPad(255, 16), ExpectedFrame("KBD", "5057FF100101"));
  EXPECT_EQ(pinpad.CapturaEnPinPad(256, 3), "");
  EXPECT_EQ(pinpad.CapturaEnPinPad(4, -1), "");
  EXPECT_EQ(op.shown.size(), 2u);
}

TEST_F(IngenicoFrames, ConfigurationCarriesCurrencyPromptsAndItsLength) {
  const std::string frame = pinpad.ConfigPinPad();
  EXPECT_EQ(frame.substr(0, 12), "0243463000AF");
  const std::string data = serial::HexATexto(DataOf(frame));
  ASSERT_EQ(data.size(), 175u);
  EXPECT_EQ(data.substr(0, 5), "\x08\x40MXN");
  EXPECT_EQ(DataOf(frame).substr(10, 58),
            "D84004F8000010000000D84000A800E0F8C06000F0F040000000012000");
  EXPECT_EQ(DataOf(frame).substr(68, 26), "03781E1E0000000000000000FF");
  EXPECT_EQ(data.substr(47, 96),
            "Procesando ...  Inserte Tarjeta Ingrese PIN     Ultimo Intento  "
            "FIRM.ELECTRONICA   INCORRECTA   ");
  EXPECT_EQ(data.substr(143), std::string(32, '\0'));
  EXPECT_EQ(pinpad.VerificaRespuesta(serial::HexATexto(frame), kCodigoCF0), 1);
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
  const std::string frame = serial::HexATexto(ExpectedFrame("IC0", Hex(data)));
  return serial::TextoAHex("\x06" + frame);  // the ACK of our command comes first
}

const std::string kTrack1 = "B" + kPan + "^PRUEBA/TARJETA^25122011000000000000";

class IngenicoAnswers : public IngenicoFrames {};

TEST_F(IngenicoAnswers, TextWithoutAnIc0AnswerGivesEveryKeyEmpty) {
  const auto tracks = pinpad.ObtenTracks("43 46 30 00 00 03 37 ", 0);
  ASSERT_TRUE(tracks.has_value());
  const std::vector<std::string> keys = {"ServiceCode", "Track1", "Track2", "Status",
                                         "EMV_Tags",    "ARQC",   "AID",    "Exp"};
  EXPECT_EQ(tracks->Keys(), keys);
  for (const auto& [key, value] : tracks->Entries()) EXPECT_EQ(value, "") << key;
  EXPECT_TRUE(op.shown.empty());
}

TEST_F(IngenicoAnswers, PackedTrackTwoGivesDigitsExpiryAndServiceCode) {
  const auto tracks = pinpad.ObtenTracks(Ic0Answer(0x06, kPan + "D2512201", "", ""), 0);
  ASSERT_TRUE(tracks.has_value());
  EXPECT_EQ(tracks->Item("Track2"), kPan + "=2512201");
  EXPECT_EQ(tracks->Item("Exp"), "2512");
  EXPECT_EQ(tracks->Item("ServiceCode"), "2");
  EXPECT_EQ(tracks->Item("Status"), "06");

  // Eleven bytes are too few to say where the service code is.
  const auto short_track = pinpad.ObtenTracks(Ic0Answer(0x06, kPan + "D25122", "", ""), 0);
  ASSERT_TRUE(short_track.has_value());
  EXPECT_EQ(short_track->Item("ServiceCode"), "");
  EXPECT_EQ(short_track->Item("Exp"), "2512");
}

TEST_F(IngenicoAnswers, ChipCardTrackOneIsTakenWhole81BytesUnlessInFallbackMode) {
  const std::string chip_track2 = kPan + "D25122011000000000";
  const std::string answer = Ic0Answer(0x00, chip_track2, kTrack1, "");
  const auto normal = pinpad.ObtenTracks(answer, 0);
  ASSERT_TRUE(normal.has_value());
  const std::string whole =
      static_cast<char>(kTrack1.size()) + kTrack1 + std::string(80 - kTrack1.size(), '\xFF');
  // The 0xFF padding comes back as the character U+00FF in UTF-8.
  std::string expected;
  for (const char c : whole) expected += c == '\xFF' ? std::string("\xC3\xBF") : std::string(1, c);
  EXPECT_EQ(normal->Item("Track1"), expected);

  const auto fallback = pinpad.ObtenTracks(answer, 3);
  ASSERT_TRUE(fallback.has_value());
  EXPECT_EQ(fallback->Item("Track1"), kTrack1);

  // A stripe-only card's track 1 is read by its length in either mode.
  const auto stripe = pinpad.ObtenTracks(Ic0Answer(0x06, kPan + "D25121011000", kTrack1, ""), 0);
  ASSERT_TRUE(stripe.has_value());
  EXPECT_EQ(stripe->Item("Track1"), kTrack1);
  EXPECT_EQ(stripe->Item("ServiceCode"), "1");
}

TEST_F(IngenicoAnswers, EmvDataIsFilteredInTableOrder) {
  // Sent by the card in its own order; 9A and 9F41 are not sent on.
  const std::string emv = Tlv("84", "A0000000031010") + Tlv("9A", "251206") +
                          Tlv("9F26", "1A2B3C4D5E6F7081") + Tlv("95", "0000008000") +
                          Tlv("5F2A", "0484") + Tlv("9F41", "00000001") +
                          Tlv("9F02", "000000015050");
  const auto tracks = pinpad.ObtenTracks(Ic0Answer(0x00, kPan + "D25122011000", kTrack1, emv), 0);
  ASSERT_TRUE(tracks.has_value());
  EXPECT_EQ(tracks->Item("EMV_Tags"),
            "5F2A020484"
            "9F0206000000015050"
            "9F26081A2B3C4D5E6F7081"
            "95050000008000"
            "8407A0000000031010");
  EXPECT_EQ(tracks->Item("ARQC"), "1A2B3C4D5E6F7081");
  EXPECT_EQ(tracks->Item("AID"), "A0000000031010");
  EXPECT_EQ(tracks->Item("EMV_Tags").find("9A03"), std::string::npos);
}

TEST_F(IngenicoAnswers, TagDigitsInsideValuesAreLeftToTheObjectsTakenFirst) {
  // "84" also occurs inside the currency code 0484; 5F2A comes first in the table, so its
  // object is taken and removed before 84 is looked for.
  const Dictionary tags = pinpad.TagsValidos("5F 2A 02 04 84 84 07 A0 00 00 00 03 10 10 ");
  EXPECT_EQ(tags.Keys(), (std::vector<std::string>{"EMV_Tags", "ARQC", "AID"}));
  EXPECT_EQ(tags.Item("EMV_Tags"), "5F2A0204848407A0000000031010");
  EXPECT_EQ(tags.Item("AID"), "A0000000031010");
  EXPECT_EQ(tags.Item("ARQC"), "");
  // Lower-case hex from a host is read the same way.
  EXPECT_EQ(pinpad.TagsValidos("9f26021a2b").Item("ARQC"), "1A2B");
  EXPECT_TRUE(op.shown.empty());
}

TEST_F(IngenicoAnswers, ObjectCutShortIsReportedAndKeepsWhatWasFound) {
  ScratchFolder folder;
  ScopedEnv log_dir("TOVALIX_LOG_DIR", folder.path().string());
  const Dictionary tags = pinpad.TagsValidos("9F2602AABB 8407A000");
  EXPECT_EQ(tags.Item("EMV_Tags"), "9F2602AABB");
  EXPECT_EQ(tags.Item("ARQC"), "AABB");
  EXPECT_EQ(tags.Item("AID"), "");
  ASSERT_EQ(op.Texts(), std::vector<std::string>{"Respuesta del PIN pad incompleta"});
  EXPECT_NE(tovalix::testing::ReadFile(folder / "tovalix.log").find("incompleta"),
            std::string::npos);
}

TEST_F(IngenicoAnswers, MalformedReadingGivesNoDictionaryAndIsReported) {
  ScratchFolder folder;
  ScopedEnv log_dir("TOVALIX_LOG_DIR", folder.path().string());
  const std::string good =
      Ic0Answer(0x00, kPan + "D25122011000", kTrack1, Tlv("9F26", "1A2B3C4D5E6F7081"));
  ASSERT_TRUE(pinpad.ObtenTracks(good, 0).has_value());
  // Cut inside the EMV data.
  EXPECT_FALSE(pinpad.ObtenTracks(good.substr(0, good.size() - 5 * 3), 0).has_value());
  // A track 2 length that is not hex.
  std::string bad_length = good;
  bad_length.replace(bad_length.find("49 43 30 ") + 9 + 22 * 3, 2, "G1");
  EXPECT_FALSE(pinpad.ObtenTracks(bad_length, 0).has_value());
  EXPECT_EQ(op.shown.size(), 2u);
  const std::string log = tovalix::testing::ReadFile(folder / "tovalix.log");
  EXPECT_NE(log.find("Respuesta del PIN pad"), std::string::npos);
  EXPECT_EQ(log.find(kPan), std::string::npos);
}

TEST_F(IngenicoAnswers, ShortAnswerStillGivesItsStatus) {
  // A reading cancelled on the PIN pad may carry nothing after its status.
  const auto tracks = pinpad.ObtenTracks("06 02 49 43 30 00 01 03 03 4A ", 0);
  ASSERT_TRUE(tracks.has_value());
  EXPECT_EQ(tracks->Item("Status"), "03");
  EXPECT_EQ(tracks->Item("Track2"), "");
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

// ---------------------------------------------------------------------------------------
// The public class

TEST(Ipp320, PublicClassBuildsTheSameFramesAndChangesTheCallersText) {
  RecordingOperator op;
  IPP320 device(op);
  EXPECT_EQ(device.ObtenSerial(), "0243463100000337");
  EXPECT_EQ(device.RefreshLogo(), "024453500001FE03BB");
  std::string text = "HOLA";
  EXPECT_EQ(device.ArmaMensaje(text),
            ExpectedFrame("DSP", "13" + Hex("HOLA" + std::string(28, ' '))));
  EXPECT_EQ(text, "HOLA" + std::string(28, ' '));

  const std::string ic0 = device.IC0(150.5, 0, "Inserte /Deslice ");
  EXPECT_EQ(ic0.substr(0, 12), "024943300095");
  EXPECT_EQ(device.VerificaRespuesta(serial::HexATexto(ic0), "494330"), 1);
  EXPECT_EQ(device.VerificaRespuesta(serial::HexATexto(ic0), "494331"), 0);

  const auto empty = device.ObtenTracks("00 00 ", 0);
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(empty->Count(), 8u);
  EXPECT_EQ(device.TagsValidos("9A03251206").Item("EMV_Tags"), "");
  EXPECT_EQ(device.IC1("X", "00", "1"), "");
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"Estatus no válido para el PIN pad"});

  IPP320 moved = std::move(device);
  EXPECT_EQ(moved.LimpiaPantalla(), ExpectedFrame("DSP", "11" + Hex(std::string(32, ' '))));
}

}  // namespace
}  // namespace tovalix::drivers::ingenico
