#include "serial/generales.hpp"

#include <gtest/gtest.h>

#include "common/failure.hpp"
#include "common/number_text.hpp"
#include "sim/pinpad/framing.hpp"
#include "support/test_environment.hpp"

namespace tovalix::serial {
namespace {

using testing::RecordingOperator;

TEST(Generales, LrcHexFormsAndNumbers) {
  EXPECT_EQ(CalculaLRC("CF1"), 0x37);
  EXPECT_EQ(CalculaLRC(""), 3);
  EXPECT_EQ(CalculaLRC(std::string("\x80\x7F", 2)), 0xFC);
  EXPECT_EQ(TextoAHex("\xFF"), "FF ");
  // A pair is read as far as it is hex; a lone last digit is a byte of its own.
  EXPECT_EQ(HexATexto("4X"), std::string(1, '\x04'));
  EXPECT_EQ(HexATexto("XX"), std::string(1, '\0'));
  EXPECT_EQ(HexATexto("0203A"), std::string("\x02\x03\x0A", 3));
  std::string spaced = "43 46 31 ";
  EXPECT_EQ(HexATextoLimpio(spaced), "CF1");
  EXPECT_EQ(spaced, "434631");
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  EXPECT_EQ(HexBlancosATexto(TextoAHex(all)), all);
  EXPECT_EQ(BaseAEntero("1f", 16), 31);
  EXPECT_EQ(BaseAEntero("Z", 16), -1);  // outside the alphabet a digit counts -1
  EXPECT_EQ(BaseAEntero("7FFF", 16), 32767);
  EXPECT_THROW(BaseAEntero("8000", 16), Failure);
  EXPECT_EQ(DecimalABinario(5, 8), "00000101");
  EXPECT_EQ(DecimalABinario(5, 2), "Error - Number exceeds specified bit size");
  EXPECT_EQ(BinarioAHex("101"), "5");
  EXPECT_EQ(BinarioAHex("10100"), "14");
}

TEST(TarjetaVigente, ComparesYearThenMonthWithoutCenturyWindow) {
  testing::ScratchFolder folder;
  testing::ScopedEnv log_dir("TOVALIX_LOG_DIR", folder.path().string());
  RecordingOperator op;
  const platform::CalendarDate march_2025{2025, 3, 31};
  EXPECT_TRUE(TarjetaVigente("2503", op, march_2025));
  EXPECT_FALSE(TarjetaVigente("2502", op, march_2025));
  EXPECT_TRUE(TarjetaVigente("2601", op, march_2025));
  EXPECT_FALSE(TarjetaVigente("2412", op, march_2025));
  EXPECT_FALSE(TarjetaVigente("0001", op, march_2025));
  EXPECT_TRUE(TarjetaVigente("2412", op, {2024, 12, 31}));  // to the last day of its month
  EXPECT_TRUE(op.shown.empty());
  // An expiry that is not four digits is reported and counts as expired.
  EXPECT_FALSE(TarjetaVigente("AB12", op, march_2025));
  EXPECT_FALSE(TarjetaVigente("25", op, march_2025));
  EXPECT_EQ(op.shown.size(), 2u);
  EXPECT_EQ(op.shown[0].style, Operator::kPlain);
  EXPECT_NE(testing::ReadFile(folder / "tovalix.log").find("No coinciden los tipos"),
            std::string::npos);
}

TEST(VerificaTrama, AcceptsOnlyAWholeFrameOfTheExpectedCommand) {
  RecordingOperator op;
  const std::string frame = sim::TextFrame(std::string("IC0\x00\x01X", 6));
  EXPECT_EQ(VerificaTrama(frame, "494330", op), 1);
  EXPECT_EQ(VerificaTrama(frame, "494331", op), 0);  // another command
  const std::string wrong_lrc = sim::WithWrongLrc(frame);
  EXPECT_EQ(VerificaTrama(wrong_lrc, "494330", op), 0);
  // The last byte is ETX: the LRC has not arrived yet.
  EXPECT_EQ(VerificaTrama(frame.substr(0, frame.size() - 1), "494330", op), 0);
  // A frame whose last but one byte is not ETX is not whole, whatever its last byte.
  EXPECT_EQ(VerificaTrama(kStx + std::string("IC0Y") + static_cast<char>(CalculaLRC("IC0")),
                          "494330", op),
            0);
  // Bytes before the frame (an ACK, noise) do not matter.
  EXPECT_EQ(VerificaTrama("\x06\x15" + frame, "494330", op), 1);
  EXPECT_EQ(VerificaTrama("", "494330", op), 0);
  EXPECT_EQ(VerificaTrama(std::string("\x03\x03", 2), "494330", op), 0);

  // The Optimum's frame starts at the first STX, whatever its command: a stray STX before it
  // moves the body start, so the LRC no longer matches.
  const std::string optimum = sim::TextFrame("P54A00");
  EXPECT_EQ(VerificaTramaOptimum(optimum, "54", op), 1);
  EXPECT_EQ(VerificaTramaOptimum(wrong_lrc, "54", op), 0);
  EXPECT_EQ(VerificaTramaOptimum(std::string(1, kStx) + "A" + optimum, "54", op), 0);
  EXPECT_TRUE(op.shown.empty());
}

TEST(Pausa, WaitsItsTimeOnTheGivenClockAndPumps) {
  RecordingOperator op;
  const platform::FastClock clock(50.0);
  const double start = clock.Now();
  Pausa(1.0, op, clock);
  EXPECT_GE(clock.Now() - start, 1.0);
  EXPECT_GT(op.pumps, 0);
}

}  // namespace
}  // namespace tovalix::serial
