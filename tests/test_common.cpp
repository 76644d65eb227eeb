// The dictionary, number texts, text encodings and the common error report.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <tovalix/dictionary.hpp>

#include "common/card_data_mask.hpp"
#include "common/error_report.hpp"
#include "common/failure.hpp"
#include "common/money.hpp"
#include "common/number_text.hpp"
#include "common/text_encoding.hpp"
#include "support/dictionary_text.hpp"
#include "support/test_environment.hpp"

namespace tovalix {
namespace {

TEST(Dictionary, KeepsOrderRefusesDuplicatesComparesKeysExactlyAndWritesValidJson) {
  Dictionary d;
  EXPECT_TRUE(d.Add("Amount", "1"));
  EXPECT_TRUE(d.Add("amount", "2"));
  EXPECT_TRUE(d.Add("ID_Tx", "-3"));
  EXPECT_FALSE(d.Add("Amount", "9"));
  d.Set("amount", "3");
  d.Set("New", "4");
  EXPECT_EQ(testing::Text(d), "Amount=1|amount=3|ID_Tx=-3|New=4");
  EXPECT_EQ(d.Item("amount") + d.Item("missing"), "3");
  EXPECT_FALSE(d.Exists("missing"));
  EXPECT_TRUE(d.Remove("amount"));
  EXPECT_FALSE(d.Remove("amount"));
  // B: a Windows-1252 Ñ from a server.
  const Dictionary j = testing::DictionaryOf("Z=1|A=Cañón \"x\"|B=\xD1");
  EXPECT_EQ(j.ToJson(), "{\"Z\":\"1\",\"A\":\"Cañón \\\"x\\\"\",\"B\":\"Ñ\"}");
}

TEST(Money, HostDoublesBecomeWholeCentavosOrAreRefused) {
  using F = Money::Fault;
  const struct {
    double pesos;
    F fault;
    std::int64_t centavos;
    const char* text;
  } rows[] = {
      {150.5, F::kNone, 15050, "150.5"},
      {150, F::kNone, 15000, "150"},
      {0.05, F::kNone, 5, "0.05"},
      {10.1 * 3, F::kNone, 3030, "30.3"},  // 30.299999999999997
      {-2, F::kNone, -200, "-2"},
      {9999999999.99, F::kNone, 999999999999, "9999999999.99"},
      {10.004, F::kSubCentavo, 0, ""},
      {1.005, F::kSubCentavo, 0, ""},
      {10000000000.0, F::kTooLarge, 0, ""},
      {-1e300, F::kTooLarge, 0, ""},
      {std::nan(""), F::kNotFinite, 0, ""},
      {HUGE_VAL, F::kNotFinite, 0, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.pesos);
    EXPECT_EQ(Money::CheckHost(row.pesos), row.fault);
    const auto money = Money::FromHost(row.pesos);
    ASSERT_EQ(money.has_value(), row.fault == F::kNone);
    if (!money) continue;
    EXPECT_EQ(money->Centavos(), row.centavos);
    EXPECT_EQ(money->Text(), row.text);
  }
  EXPECT_EQ(Money::FromCentavos(15050).TextTwoDecimals(), "150.50");
  EXPECT_EQ(Money::FromCentavos(-7).TextTwoDecimals(), "-0.07");
  for (const char* bad : {"1e3", "0x10", "1,5", "", " . ", "1.2.3", "10.004", "\t5"}) {
    EXPECT_FALSE(Money::Parse(bad).has_value()) << bad;
  }
  EXPECT_EQ(Money::Parse(" 150.50 "), Money::FromCentavos(15050));
  // A host that set a locale with a decimal comma still has its point read as one.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
    EXPECT_EQ(Money::Parse("150.5"), Money::FromCentavos(15050));
    std::setlocale(LC_NUMERIC, "C");
  }
  EXPECT_EQ(Money::Parse("-3"), Money::FromCentavos(-300));
}

TEST(NumberText, DoublesInTheirShortestFormAndNumbersReadFromText) {
  EXPECT_EQ(TextOfDouble(150), "150");
  EXPECT_EQ(TextOfDouble(99.9), "99.9");
  EXPECT_EQ(TextOfDouble(0), "0");
  EXPECT_EQ(TextOfDouble(-0.25), "-0.25");
  EXPECT_EQ(TextOfDouble(1e20), "1E+20");
  EXPECT_EQ(TextOfDouble(123456789012345678.0), "1.23456789012346E+17");

  EXPECT_EQ(ParseNumber(" 12 "), 12.0);
  EXPECT_EQ(ParseNumber("-1.5e2"), -150.0);
  for (const char* bad : {"", "1a", "1,5", "."}) EXPECT_FALSE(ParseNumber(bad).has_value()) << bad;
  EXPECT_EQ(LeadingNumber(" 1 2ab"), 12.0);
  EXPECT_EQ(LeadingNumber("abc"), 0.0);
  // Halves round to even.
  EXPECT_EQ(ToLong("2.5"), 2);
  EXPECT_EQ(ToLong("3.5"), 4);
  EXPECT_EQ(ToLong("-2.5"), -2);
  EXPECT_THROW(ToLong("x"), Failure);
  EXPECT_THROW(ToLong("2147483648"), Failure);
  EXPECT_EQ(ToLong("2147483647"), 2147483647);
  EXPECT_THROW(ToInteger("32768"), Failure);
  EXPECT_EQ(TrimBlanks("  a b  "), "a b");
}

TEST(Texts, Windows1252RoundTripPeerTextQuotedShortAndCardDataMasked) {
  EXPECT_EQ(Utf8ToAnsi("Inicialización €"), "Inicializaci\xF3n \x80");
  EXPECT_EQ(AnsiToUtf8("Inicializaci\xF3n \x80"), "Inicialización €");
  EXPECT_EQ(Utf8ToAnsi("日"), "?");
  EXPECT_EQ(ToUtf8Lenient("ya válido"), "ya válido");
  EXPECT_EQ(ToUtf8Lenient("\xE9"), "é");
  EXPECT_FALSE(IsValidUtf8("\xC3"));
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));               // a lone surrogate
  EXPECT_EQ(QuotePeer("Ca\xF1\r\n\t\xF3n\x7F"), "Cañón");  // a peer's text without controls
  EXPECT_EQ(MaskCardData("tarjeta 4111111111111111 leida"), "tarjeta ************1111 leida");
  EXPECT_EQ(MaskCardData("t2 4111111111111111=25122010000 fin"),
            "t2 ************1111" + std::string(12, '*') + " fin");
  EXPECT_EQ(MaskCardData("B4111111111111111^PEREZ/JUAN^2512"),
            "B************1111" + std::string(16, '*'));
  EXPECT_EQ(MaskCardData("Id_Store 12345 ptid 123456789"), "Id_Store 12345 ptid 123456789");
}

TEST(ErrorReport, ShowsAPlainBoxThenAppendsTheLogLine) {
  testing::ScratchFolder folder;
  testing::ScopedEnv log_dir("TOVALIX_LOG_DIR", folder.path().string());
  // A log that is a symbolic link is not followed (where this user may make one).
  if (testing::MakeSymlink(folder / "elsewhere", folder / "tovalix.log")) {
    AppendLogLine("Puerto cerrado");
    EXPECT_FALSE(std::filesystem::exists(folder / "elsewhere"));
    std::filesystem::remove(folder / "tovalix.log");
  }
  testing::RecordingOperator op;
  EXPECT_FALSE(RunTrapped(op, [] { throw Failure("Puerto cerrado 4111111111111111"); }));
  EXPECT_TRUE(RunTrapped(op, [] {}));
  RunTrappedShowOnly(op, [] { throw std::runtime_error("solo caja"); });
  // A host whose box throws does not keep the failure from the log.
  op.throw_from = 2;
  EXPECT_FALSE(RunTrapped(op, [] { throw 42; }));
  EXPECT_EQ(op.shown,
            (std::vector<testing::ShownMessage>{{"Puerto cerrado ************1111", 0, ""},
                                                {"solo caja", 0, ""},
                                                {"Error desconocido", 0, ""}}));
  // "dd/mm/yyyy hh:mm:ss description" CR CR LF, nothing for the box-only failure.
  const std::string log = testing::ReadFile(folder / "tovalix.log");
  ASSERT_EQ(log.size(), 19 + 35 + 19 + 21u);
  EXPECT_EQ(log.substr(19, 35) + log.substr(19 + 35 + 19),
            " Puerto cerrado ************1111\r\r\n Error desconocido\r\r\n");
  EXPECT_EQ(log[2], '/');
}

}  // namespace
}  // namespace tovalix
