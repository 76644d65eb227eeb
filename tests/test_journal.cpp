// The sale journal: card sales posted to the simulated gateway on loopback append one JSON
// line each beside a scratch settings file; sales whose answer never came are in doubt.
// Card numbers are made up.
#include "gateway/sale_journal.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#include <fstream>

#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <tovalix/cliente.hpp>

#include "common/failure.hpp"

#include "sim/gateway/gateway_simulator.hpp"
#include "support/test_environment.hpp"

namespace tovalix::gateway {
namespace {

using namespace std::chrono_literals;
using sim::GatewayAnswer;
using sim::GatewayRequest;
using ::testing::AllOf;
using ::testing::Contains;
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
  r.Amount(Money::FromCentavos(15050));
  r.Tip(Money::FromCentavos(1000));
  r.Total(Money::FromCentavos(16050));
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

TEST_F(JournalTest, ApprovedSalesAppendAPendingThenAnAnsweredLineWithoutCardData) {
  const Dictionary first = Post();
  ASSERT_EQ(first.Item("Response_Message"), "APROBADA");
  EXPECT_EQ(JournalPath(), folder / "journal.jsonl");
  auto lines = Journal();
  ASSERT_EQ(lines.size(), 2u);
  const std::string sale = R"("model":"INGENICO3070","ID_Store":1234,"ID_Transaction":77,)"
                           R"("Amount":150.5,"Total":160.5,"Operation_Type":1,"last4":"7899",)";
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\{"time":"[0-9]{4}-[0-9]{2}-[0-9]{2} )"
                                                    R"([0-9]{2}:[0-9]{2}:[0-9]{2}","id":)"
                                                    R"("[0-9a-f]{16}","state":"pending",.*)"
                                                    R"("in_doubt":true\})")))
      << lines[0];
  EXPECT_THAT(lines[0], HasSubstr(sale));
  const std::string id = lines[0].substr(lines[0].find(R"("id":)"), 23);
  EXPECT_THAT(lines[1], HasSubstr(id + R"(,"state":"outcome",)" + sale));
  EXPECT_THAT(
      lines[1],
      HasSubstr("\"ID_Tx\":\"" + first.Item("ID_Tx") + "\",\"Authorization_Number\":\"" +
                first.Item("Authorization_Number") + "\",\"Response_Message\":\"APROBADA\","));
  EXPECT_THAT(lines[1], HasSubstr(R"("sent":true,"answered":true,"in_doubt":false})"));
  EXPECT_TRUE(op.shown.empty());

  EXPECT_TRUE(tovalix::testing::IsPrivateToUser(folder / "journal.jsonl"));

  // A line torn by a power cut: the next sale's lines still start lines of their own.
  std::ofstream(folder / "journal.jsonl", std::ios::app) << R"({"time":"2024-0)";
  Post();
  const auto more = Journal();
  ASSERT_EQ(more.size(), 5u);  // appended, the first lines kept
  EXPECT_EQ(more[1], lines[1]);
  EXPECT_EQ(more[2], R"({"time":"2024-0)");
  EXPECT_THAT(more[3], AllOf(HasSubstr(R"("state":"pending")"), Not(HasSubstr(id))));
  EXPECT_TRUE(SalesInDoubt().empty());

  const std::string text = ReadFile(folder / "journal.jsonl");
  for (const char* secret : {kPan, "400000123456", "=4912", "PEREZ", "\"123\""}) {
    EXPECT_THAT(text, Not(HasSubstr(secret))) << "card data in the journal";
  }
}

// The gateway got the request in each case but gave no usable answer: whether the sale was
// charged is unknown, and the host must not read it as "nothing reached the gateway".
TEST_F(JournalTest, ARequestThatLeftWithoutAUsableAnswerIsInDoubt) {
  const std::vector<std::pair<const char*, sim::GatewaySimulator::Script>> cases = {
      {"late answer", [](const GatewayRequest&, GatewayAnswer& a) { a.delay = 3s; }},
      {"a host box that fails", [](const GatewayRequest&, GatewayAnswer& a) { a.status = 502; }},
      {"status 500", [](const GatewayRequest&, GatewayAnswer& a) { a.status = 500; }},
      {"no authorization",
       [](const GatewayRequest&, GatewayAnswer& a) { a.Remove("authorization_number"); }},
      {"dropped", [](const GatewayRequest&, GatewayAnswer& a) { a.drop = true; }},
      {"other amount", [](const GatewayRequest&, GatewayAnswer& a) { a.Set("amount", "1505"); }},
      {"approved with zeros",
       [](const GatewayRequest&, GatewayAnswer& a) { a.Set("authorization_number", "000000"); }},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    gateway.SetScript(cases[i].second);
    op.shown.clear();
    op.throw_from = i == 1 ? 1 : -1;  // the box after the status box fails
    const Dictionary result = Post("1");
    EXPECT_EQ(result.Item("ID_Tx"), "-4") << cases[i].first;
    EXPECT_EQ(result.Item("Response_Message"), kVentaEnDuda) << cases[i].first;
    EXPECT_FALSE(Aprobada(result)) << cases[i].first;
    EXPECT_EQ(result.Keys().front(), i < 5 ? "process_type" : "ID_Store") << cases[i].first;
    EXPECT_THAT(op.Texts(), Contains(HasSubstr(std::string("TOVALIX: ") + kVentaEnDuda)));
    const auto lines = Journal();
    ASSERT_EQ(lines.size(), 2 * (i + 1)) << cases[i].first;
    EXPECT_THAT(lines.back(), HasSubstr(R"("ID_Tx":"-4",)")) << cases[i].first;
    EXPECT_THAT(lines.back(), HasSubstr(R"("in_doubt":true})")) << cases[i].first;
    EXPECT_THAT(op.Texts(), Contains(HasSubstr(SalesInDoubt().back().first)));
  }
  EXPECT_EQ(gateway.RequestCount(), cases.size());  // never retried
  EXPECT_EQ(SalesInDoubt().size(), cases.size());

  // A decline charges nothing, whatever amount it echoes.
  op.throw_from = -1;
  gateway.SetScript([](const GatewayRequest&, GatewayAnswer& a) {
    a.Set("response_message", "DECLINADA").Set("authorization_number", "000000").Set("amount", "0");
  });
  EXPECT_EQ(Post("1").Item("Response_Message"), "DECLINADA");
}

TEST_F(JournalTest, GatewayNeverReachedIsJournaledButNotInDoubt) {
  const std::string url = gateway.Url();
  gateway.Stop();
  const Dictionary result = WebSale(Sale(), "Vx810", url, "2", op);
  EXPECT_EQ(result.Item("ID_Tx"), "-3");
  EXPECT_EQ(result.Item("Response_Message"), "ERROR AL ENVIAR DATOS AL GATEWAY");
  const auto lines = Journal();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[1], HasSubstr(R"("model":"Vx810")"));
  EXPECT_THAT(lines[1], HasSubstr(R"("sent":false,"answered":false,"in_doubt":false})"));
  EXPECT_TRUE(SalesInDoubt().empty());
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
    ASSERT_EQ(op.shown.size(), 2u);  // the pending line, then the outcome
    EXPECT_THAT(op.shown[0].text, HasSubstr("bitácora"));
    EXPECT_THAT(op.shown[0].text, HasSubstr("journal.jsonl"));
    EXPECT_THAT(ReadFile(folder / "tovalix.log"), HasSubstr(op.shown[0].text));
    std::filesystem::remove(journal);
    if (!tovalix::testing::MakeSymlink(elsewhere, journal)) break;  // not for this user
  }
  EXPECT_FALSE(std::filesystem::exists(elsewhere));
}

#ifndef _WIN32  // a child process killed with SIGKILL: POSIX only
// A sale killed while the gateway holds its request leaves its pending line; it stays in
// doubt until an operator settles it, and a settled sale never comes back.
TEST_F(JournalTest, ASaleKilledWhileTheGatewayHoldsItStaysInDoubtUntilSettled) {
  gateway.SetScript([](const GatewayRequest&, GatewayAnswer& a) { a.delay = 60s; });
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Post("90");
    ::_exit(0);
  }
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (gateway.RequestCount() == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_EQ(gateway.RequestCount(), 1u);
  gateway.Stop();

  const auto in_doubt = SalesInDoubt();
  ASSERT_EQ(in_doubt.size(), 1u);
  EXPECT_THAT(in_doubt[0].second, HasSubstr(R"("state":"pending","model":"INGENICO3070")"));
  const std::string before = ReadFile(folder / "journal.jsonl");
  EXPECT_THROW(SettleSale("0123456789abcdef", true), Failure);
  EXPECT_EQ(ReadFile(folder / "journal.jsonl"), before);

  Cliente cliente(op);
  EXPECT_EQ(cliente.VentasEnDuda().Item(in_doubt[0].first), in_doubt[0].second);
  EXPECT_EQ(cliente.ConciliaVenta(in_doubt[0].first, true), 1);
  EXPECT_TRUE(SalesInDoubt().empty());
  EXPECT_EQ(cliente.ConciliaVenta(in_doubt[0].first, false), 0);  // settled once, for good
  const auto lines = Journal();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0] + "\n" + lines[1] + "\n", before + lines[1] + "\n");  // appended only
  EXPECT_THAT(lines[1], HasSubstr(R"("state":"settled","charged":true,"in_doubt":false})"));
}
#endif

TEST(JournalLine, EscapesTheGatewaysTextSoEachSaleStaysOneLine) {
  Dictionary result;
  result.Add("ID_Tx", "9");
  result.Add("Authorization_Number", "000123");
  result.Add("Response_Message", "X\"in_doubt\":true}\n\\");
  const std::string line = JournalLine(Sale(), "NURIT293", "00000000000000aa", result,
                                       WebOutcome{true, true, 200}, {{2024, 3, 9}, 8, 5, 7});
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_THAT(line, HasSubstr(R"("time":"2024-03-09 08:05:07")"));
  EXPECT_THAT(line, HasSubstr(R"("Response_Message":"X\"in_doubt\":true}\u000a\\")"));
  EXPECT_TRUE(SalesInDoubt(line + "\n").empty());  // the text cannot fake the flag
}

// What stays in doubt: a pending line without outcome, an outcome in doubt, an older
// journal's in-doubt line (by its line number), never a torn last line or a settled sale.
TEST(JournalLine, SalesInDoubtReadsTheLatestLineOfEachSale) {
  const std::string journal =
      R"({"id":"a","state":"pending","in_doubt":true})"
      "\n"
      R"({"id":"b","state":"pending","in_doubt":true})"
      "\n"
      R"({"id":"a","state":"outcome","in_doubt":false})"
      "\n"
      "not json\n"
      R"({"time":"x","ID_Tx":"-3","sent":true,"answered":false,"in_doubt":true})"
      "\n"
      R"({"id":"c","state":"outcome","in_doubt":true})"
      "\n"
      R"({"id":"c","state":"settled","charged":false,"in_doubt":false})"
      "\n"
      R"({"id":"c","state":"outcome","in_doubt":true})"
      "\n"
      R"({"id":"d","state":"pending","in_doubt":true})";
  // c was settled while the gateway still held it, then its answer came in doubt: it is back.
  const auto sales = SalesInDoubt(journal);
  ASSERT_EQ(sales.size(), 3u);
  EXPECT_EQ(sales[0],
            std::make_pair(std::string("b"),
                           std::string(R"({"id":"b","state":"pending","in_doubt":true})")));
  EXPECT_EQ(sales[1].first, "#5");
  EXPECT_EQ(sales[2].first, "c");
  const auto settled = SalesInDoubt(journal + "\n" + SettledLine("#5", false, {}) + "\n" +
                                    SettledLine("b", true, {}) + "\n");
  ASSERT_EQ(settled.size(), 2u);
  EXPECT_EQ(settled[1].first, "d");
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
