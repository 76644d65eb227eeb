// The sale journal: card sales posted to the simulated gateway on loopback append one JSON line
// each beside a scratch settings file; sales whose answer never came are in doubt. Card numbers are
// made up.
#include "gateway/sale_journal.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <tovalix/cliente.hpp>

#include "common/failure.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "support/dictionary_text.hpp"
#include "support/terminal_fixture.hpp"

namespace tovalix::gateway {
namespace {

using namespace std::chrono_literals;
using sim::GatewayAnswer;
using sim::GatewayRequest;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::HasSubstr;
using namespace tovalix::testing;

PinPad Sale() {
  PinPad r;
  r.ID_Store(1234);
  r.Amount(Money::FromCentavos(15050));
  r.Total(Money::FromCentavos(16050));
  r.ID_Transaction(77);
  r.Operation_Type(1);
  r.track2(";4000001234567899=49121010000000000000?");
  return r;
}

// A journal line with its time and id, when they have their form, as T and I.
std::string Masked(const std::string& line) {
  static const std::regex head(
      R"(^\{"time":"[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}","id":"[0-9a-f]{16}")");
  return std::regex_replace(line, head, R"({"time":T,"id":I)");
}

// The sale's id in one of its lines: the sixteen digits after the time.
std::string IdOf(const std::string& line) {
  return line.substr(36, 16);
}

// The flows' bench: the journal goes beside its settings file, in the scratch log folder.
class JournalTest : public ::testing::Test, public FlowBench<sim::GatewaySimulator> {
 protected:
  Dictionary Post(const std::string& timeout = "5") {
    return WebSale(Sale(), "INGENICO3070", gateway.Url(), timeout, op);
  }
  std::vector<std::string> Journal() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(logs / "journal.jsonl"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

// The pending line is on disk before the request leaves: a sale killed while the gateway holds it
// stays in doubt.
TEST_F(JournalTest, ApprovedSalesAppendAPendingThenAnAnsweredLineWithoutCardData) {
  std::string held;  // the journal while the gateway holds the request
  gateway.SetScript(
      [&](const GatewayRequest&, GatewayAnswer&) { held = ReadFile(logs / "journal.jsonl"); });
  ASSERT_EQ(Post().Item("Response_Message"), "APROBADA");
  const auto lines = Journal();
  ASSERT_EQ(lines.size(), 2u);
  const std::string sale = R"(","model":"INGENICO3070","ID_Store":1234,"ID_Transaction":77,)"
                           R"("Amount":150.5,"Total":160.5,"Operation_Type":1,"last4":"7899",)";
  EXPECT_EQ(Masked(lines[0]),
            R"({"time":T,"id":I,"state":"pending)" + sale + R"("in_doubt":true})");
  EXPECT_EQ(Masked(lines[1]), R"({"time":T,"id":I,"state":"outcome)" + sale +
                                  R"("ID_Tx":"100001","Authorization_Number":"123456",)"
                                  R"("Response_Message":"APROBADA","sent":true,"answered":true,)"
                                  R"("in_doubt":false})");
  EXPECT_EQ(IdOf(lines[1]), IdOf(lines[0]));
  EXPECT_EQ(held, lines[0] + "\n");
  EXPECT_TRUE(op.shown.empty());
  EXPECT_TRUE(IsPrivateToUser(logs / "journal.jsonl"));

  // A line torn by a power cut: the next sale's lines still start lines of their own.
  std::ofstream(logs / "journal.jsonl", std::ios::app) << R"({"time":"2024-0)";
  Post();
  const auto more = Journal();
  ASSERT_EQ(more.size(), 5u);  // appended, the first lines kept
  EXPECT_EQ(more[1], lines[1]);
  EXPECT_EQ(more[2], R"({"time":"2024-0)");
  EXPECT_THAT(Masked(more[3]), HasSubstr(R"({"time":T,"id":I,"state":"pending")"));
  EXPECT_NE(IdOf(more[3]), IdOf(lines[0]));
  EXPECT_TRUE(SalesInDoubt().empty());
}

// The gateway got the request in each case but gave no usable answer: whether the sale was charged
// is unknown, and the host must not read it as "nothing reached the gateway".
TEST_F(JournalTest, ARequestThatLeftWithoutAUsableAnswerIsInDoubt) {
  const std::vector<std::pair<const char*, sim::GatewaySimulator::Script>> cases = {
      {"late answer", [](const GatewayRequest&, GatewayAnswer& a) { a.delay = 3s; }},
      {"a host box that fails", [](const GatewayRequest&, GatewayAnswer& a) { a.status = 502; }},
      {"no authorization",
       [](const GatewayRequest&, GatewayAnswer& a) { a.Remove("authorization_number"); }},
      {"dropped", [](const GatewayRequest&, GatewayAnswer& a) { a.drop = true; }},
      {"other amount", [](const GatewayRequest&, GatewayAnswer& a) { a.Set("amount", "1505"); }},
      {"approved with zeros",
       [](const GatewayRequest&, GatewayAnswer& a) { a.Set("authorization_number", "000000"); }},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].first);
    gateway.SetScript(cases[i].second);
    op.shown.clear();
    op.throw_from = i == 1 ? 1 : -1;  // the box after the status box fails
    const Dictionary result = Post("1");
    EXPECT_EQ(result.Item("ID_Tx") + " " + result.Item("Response_Message"),
              std::string("-4 ") + kVentaEnDuda);
    EXPECT_EQ(result.Keys().front(), i < 4 ? "process_type" : "ID_Store");
    const auto lines = Journal();
    ASSERT_EQ(lines.size(), 2 * (i + 1));
    EXPECT_THAT(lines.back(),
                AllOf(HasSubstr(R"("ID_Tx":"-4",)"), HasSubstr(R"("in_doubt":true})")));
    EXPECT_THAT(op.Texts(), Contains(std::string("TOVALIX: ") + kVentaEnDuda +
                                     " Folio: " + SalesInDoubt().back().first));
  }
  EXPECT_EQ(gateway.RequestCount(), cases.size());  // never retried
  EXPECT_EQ(SalesInDoubt().size(), cases.size());

  // A decline charges nothing, whatever amount it echoes; nor does a gateway never reached.
  op.throw_from = -1;
  gateway.SetScript([](const GatewayRequest&, GatewayAnswer& a) {
    a.Set("response_message", "DECLINADA").Set("authorization_number", "000000").Set("amount", "0");
  });
  EXPECT_EQ(Post("1").Item("Response_Message"), "DECLINADA");
  gateway.Stop();
  EXPECT_EQ(Post("1").Item("ID_Tx"), "-3");
  EXPECT_THAT(Journal().back(), HasSubstr(R"("sent":false,"answered":false,"in_doubt":false})"));
  const auto in_doubt = SalesInDoubt();
  ASSERT_EQ(in_doubt.size(), cases.size());

  // An operator settles a sale in doubt by appending; an unknown id writes nothing.
  const auto& [id, line] = in_doubt[0];
  const std::string before = ReadFile(logs / "journal.jsonl");
  EXPECT_THROW(SettleSale("0123456789abcdef", true), Failure);
  EXPECT_EQ(ReadFile(logs / "journal.jsonl"), before);
  Cliente cliente(op);
  EXPECT_EQ(cliente.VentasEnDuda().Item(id), line);
  EXPECT_EQ(cliente.ConciliaVenta(id, true), 1);
  EXPECT_EQ(Masked(ReadFile(logs / "journal.jsonl").substr(before.size())),
            R"({"time":T,"id":I,"state":"settled","charged":true,"in_doubt":false})"
            "\n");
  EXPECT_EQ(IdOf(Journal().back()), id);
}

TEST_F(JournalTest, UnwritableJournalIsReportedAndTheSaleStands) {
  // A folder in the journal's place, then a symbolic link that would lead the records away.
  const auto journal = logs / "journal.jsonl";
  const auto elsewhere = logs / "elsewhere";
  std::filesystem::create_directory(journal);
  for (int sale = 1; sale <= 2; ++sale) {
    SCOPED_TRACE(sale);
    op.shown.clear();
    EXPECT_EQ(Post().Item("Response_Message"), "APROBADA");
    EXPECT_EQ(gateway.RequestCount(), static_cast<std::size_t>(sale));  // never retried
    ASSERT_EQ(op.shown.size(), 2u);  // the pending line, then the outcome
    EXPECT_THAT(op.shown[0].text, HasSubstr("bitácora"));
    EXPECT_THAT(op.shown[0].text, HasSubstr("journal.jsonl"));
    EXPECT_THAT(ReadFile(logs / "tovalix.log"), HasSubstr(op.shown[0].text));
    std::filesystem::remove(journal);
    if (!MakeSymlink(elsewhere, journal)) break;  // not for this user
  }
  EXPECT_FALSE(std::filesystem::exists(elsewhere));
}

TEST(JournalLine, EscapesTheGatewaysTextSoEachSaleStaysOneLine) {
  const Dictionary result =
      DictionaryOf("ID_Tx=9|Authorization_Number=000123|Response_Message=X\"in_doubt\":true}\n\\");
  const std::string line = JournalLine(Sale(), "NURIT293", "00000000000000aa", result,
                                       WebOutcome{true, true, 200}, {{2024, 3, 9}, 8, 5, 7});
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_THAT(line, HasSubstr(R"("time":"2024-03-09 08:05:07")"));
  EXPECT_THAT(line, HasSubstr(R"("Response_Message":"X\"in_doubt\":true}\u000a\\")"));
  EXPECT_TRUE(SalesInDoubt(line + "\n").empty());  // the text cannot fake the flag
}

// What stays in doubt: a pending line without outcome, an outcome in doubt, an older journal's in-
// doubt line (by its line number), never a torn last line or a settled sale. Sale c was settled
// while the gateway still held it, then its answer came in doubt: it is back.
TEST(JournalLine, SalesInDoubtReadsTheLatestLineOfEachSale) {
  const std::string journal = R"({"id":"a","state":"pending","in_doubt":true}
{"id":"b","state":"pending","in_doubt":true}
{"id":"a","state":"outcome","in_doubt":false}
not json
{"time":"x","ID_Tx":"-3","sent":true,"answered":false,"in_doubt":true}
{"id":"c","state":"outcome","in_doubt":true}
{"id":"c","state":"settled","charged":false,"in_doubt":false}
{"id":"c","state":"outcome","in_doubt":true}
{"id":"d","state":"pending","in_doubt":true})";
  const auto ids = [](const std::string& text) {
    std::string found;
    for (const auto& [id, line] : SalesInDoubt(text)) found += id + " ";
    return found;
  };
  EXPECT_EQ(ids(journal), "b #5 c ");
  EXPECT_EQ(SalesInDoubt(journal)[0].second, R"({"id":"b","state":"pending","in_doubt":true})");
  EXPECT_EQ(
      ids(journal + "\n" + SettledLine("#5", false, {}) + "\n" + SettledLine("b", true, {}) + "\n"),
      "c d ");
}

TEST(JournalLine, KeepsOnlyTheLastFourDigitsOfTheCardNumber) {
  EXPECT_EQ(LastFourDigits("5000009876543210D49121010000"), "3210");
  EXPECT_EQ(LastFourDigits("4000001234567899"), "7899");
  EXPECT_EQ(LastFourDigits("123=4912101000000"), "");  // too short to hide anything behind
}

}  // namespace
}  // namespace tovalix::gateway
