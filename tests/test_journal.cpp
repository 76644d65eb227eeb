// The sale journal: card sales posted to the simulated gateway on loopback append one JSON
// line each beside a scratch settings file; sales whose answer never came are in doubt.
// Card numbers are made up.
#include "gateway/sale_journal.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "sim/gateway/gateway_simulator.hpp"
#include "support/test_environment.hpp"

namespace tovalix::gateway {
namespace {

using namespace std::chrono_literals;
using sim::GatewayAnswer;
using sim::GatewayRequest;
using ::testing::HasSubstr;
using ::testing::Not;
using tovalix::testing::ReadFile;
using tovalix::testing::RecordingOperator;
using tovalix::testing::ScopedEnv;
using tovalix::testing::ScratchFolder;

constexpr const char* kPan = "4000001234567899";
constexpr const char* kTrack2 = ";4000001234567899=49121010000000000000?";
constexpr const char* kTrack1 = "%B4000001234567899^PEREZ/JUAN^4912101000000000000000000000?";

PinPad Sale() {
  PinPad r;
  r.ID_Store(1234);
  r.Amount(150.5);
  r.Tip(10);
  r.Total(160.5);
  r.FunctionType(1);
  r.ID_Transaction(77);
  r.Operation_Type(1);
  r.track2(kTrack2);
  r.track1(kTrack1);
  r.Cvv2("123");
  r.Pos_entry_mode(1);
  r.PTid("100200300");
  return r;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class JournalTest : public ::testing::Test {
 protected:
  Dictionary Post(const std::string& timeout = "5") {
    return WebSale(Sale(), "INGENICO3070", gateway.Url(), timeout, op);
  }
  std::vector<std::string> Journal() const { return Lines(ReadFile(folder / "journal.jsonl")); }

  ScratchFolder folder;
  ScopedEnv settings{"TOVALIX_SETTINGS", (folder / "PinPad.ini").string()};
  ScopedEnv log_dir{"TOVALIX_LOG_DIR", folder.path().string()};
  RecordingOperator op;
  sim::GatewaySimulator gateway;
};

TEST_F(JournalTest, ApprovedSalesAppendOneAnsweredLineEachWithoutCardData) {
  const Dictionary first = Post();
  ASSERT_EQ(first.Item("Response_Message"), "APROBADA");
  EXPECT_EQ(JournalPath(), folder / "journal.jsonl");
  auto lines = Journal();
  ASSERT_EQ(lines.size(), 1u);
  const std::string line = lines[0];
  EXPECT_THAT(line, ::testing::MatchesRegex(
                        R"(\{"time":"[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}",.*)"));
  EXPECT_THAT(line,
              HasSubstr(R"("model":"INGENICO3070","ID_Store":1234,"ID_Transaction":77,)"
                        R"("Amount":150.5,"Total":160.5,"Operation_Type":1,"last4":"7899",)"));
  EXPECT_THAT(
      line,
      HasSubstr("\"ID_Tx\":\"" + first.Item("ID_Tx") + "\",\"Authorization_Number\":\"" +
                first.Item("Authorization_Number") + "\",\"Response_Message\":\"APROBADA\","));
  EXPECT_THAT(line, HasSubstr(R"("sent":true,"answered":true,"in_doubt":false})"));
  EXPECT_FALSE(JournalLineInDoubt(line));
  EXPECT_TRUE(op.shown.empty());

  struct stat info {};
  ASSERT_EQ(::stat((folder / "journal.jsonl").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  const Dictionary second = Post();
  lines = Journal();
  ASSERT_EQ(lines.size(), 2u);  // appended, the first line kept
  EXPECT_EQ(lines[0], line);
  EXPECT_THAT(lines[1], HasSubstr("\"ID_Tx\":\"" + second.Item("ID_Tx") + "\""));
  EXPECT_NE(first.Item("ID_Tx"), second.Item("ID_Tx"));

  const std::string text = ReadFile(folder / "journal.jsonl");
  for (const char* secret : {kPan, "400000123456", "=4912", "PEREZ", "\"123\""}) {
    EXPECT_THAT(text, Not(HasSubstr(secret))) << "card data in the journal";
  }
}

TEST_F(JournalTest, AnswerLaterThanTheTimeOutMarksTheSaleInDoubt) {
  gateway.SetScript([](const GatewayRequest&, GatewayAnswer& answer) { answer.delay = 3s; });
  const Dictionary result = Post("1");
  EXPECT_EQ(result.Item("ID_Tx"), "-3");  // what the caller gets is unchanged
  EXPECT_EQ(gateway.RequestCount(), 1u);
  const auto lines = Journal();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0], HasSubstr(R"("ID_Tx":"-3",)"));
  EXPECT_THAT(lines[0], HasSubstr(R"("sent":true,"answered":false,"in_doubt":true})"));
  EXPECT_TRUE(JournalLineInDoubt(lines[0]));
}

// The gateway got the request in each case but gave no usable answer: a status other than
// 200 says nothing about whether the sale was charged.
TEST_F(JournalTest, RefusedDroppedOrIncompleteAnswersAreInDoubt) {
  const std::vector<std::pair<const char*, sim::GatewaySimulator::Script>> cases = {
      {"status 500", [](const GatewayRequest&, GatewayAnswer& a) { a.status = 500; }},
      {"no authorization",
       [](const GatewayRequest&, GatewayAnswer& a) { a.Remove("authorization_number"); }},
      {"dropped", [](const GatewayRequest&, GatewayAnswer& a) { a.drop = true; }},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    gateway.SetScript(cases[i].second);
    Post();
    const auto lines = Journal();
    ASSERT_EQ(lines.size(), i + 1) << cases[i].first;
    EXPECT_THAT(lines[i], HasSubstr(R"("answered":false,"in_doubt":true})")) << cases[i].first;
  }
  EXPECT_THAT(Journal()[0], HasSubstr(R"("ID_Tx":"-3",)"));
}

TEST_F(JournalTest, GatewayNeverReachedIsJournaledButNotInDoubt) {
  const std::string url = gateway.Url();
  gateway.Stop();
  const Dictionary result = WebSale(Sale(), "Vx810", url, "2", op);
  EXPECT_EQ(result.Item("ID_Tx"), "-3");
  const auto lines = Journal();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0], HasSubstr(R"("model":"Vx810")"));
  EXPECT_THAT(lines[0], HasSubstr(R"("sent":false,"answered":false,"in_doubt":false})"));
}

TEST_F(JournalTest, UnwritableJournalIsReportedAndTheSaleStands) {
  // A folder in the journal's place, then a symbolic link that would lead the records away.
  const auto journal = folder / "journal.jsonl";
  const auto elsewhere = folder / "elsewhere";
  std::filesystem::create_directory(journal);
  for (int sale = 1; sale <= 2; ++sale) {
    SCOPED_TRACE(sale);
    op.shown.clear();
    const Dictionary result = Post();
    EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
    EXPECT_NE(result.Item("ID_Tx"), "-3");
    EXPECT_EQ(gateway.RequestCount(), static_cast<std::size_t>(sale));  // never retried
    ASSERT_EQ(op.shown.size(), 1u);
    EXPECT_THAT(op.shown[0].text, HasSubstr("bitácora"));
    EXPECT_THAT(op.shown[0].text, HasSubstr("journal.jsonl"));
    EXPECT_THAT(ReadFile(folder / "tovalix.log"), HasSubstr(op.shown[0].text));
    std::filesystem::remove(journal);
    std::filesystem::create_symlink(elsewhere, journal);
  }
  EXPECT_FALSE(std::filesystem::exists(elsewhere));
}

TEST(JournalLine, EscapesTheGatewaysTextSoEachSaleStaysOneLine) {
  Dictionary result;
  result.Add("ID_Tx", "9");
  result.Add("Authorization_Number", "000123");
  result.Add("Response_Message", "X\"in_doubt\":true}\n\\");
  const std::string line =
      JournalLine(Sale(), "NURIT293", result, WebOutcome{true, true, 200}, {{2024, 3, 9}, 8, 5, 7});
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_THAT(line, HasSubstr(R"("time":"2024-03-09 08:05:07")"));
  EXPECT_THAT(line, HasSubstr(R"("Response_Message":"X\"in_doubt\":true}\u000a\\")"));
  EXPECT_FALSE(JournalLineInDoubt(line));  // the text cannot fake the flag
  EXPECT_TRUE(
      JournalLineInDoubt(JournalLine(Sale(), "NURIT293", result, WebOutcome{true, false, 500},
                                     {{2024, 3, 9}, 8, 5, 7}) +
                         "\n"));
}

TEST(JournalLine, KeepsOnlyTheLastFourDigitsOfTheCardNumber) {
  EXPECT_EQ(LastFourDigits(";4000001234567899=4912101?"), "7899");
  EXPECT_EQ(LastFourDigits("5000009876543210D49121010000"), "3210");
  EXPECT_EQ(LastFourDigits("4000001234567899"), "7899");
  EXPECT_EQ(LastFourDigits("123=4912101000000"), "");  // too short to hide anything behind
  EXPECT_EQ(LastFourDigits(""), "");
}

}  // namespace
}  // namespace tovalix::gateway
