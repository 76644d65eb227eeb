#include "gateway/sale_journal.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <sstream>

#include "common/error_report.hpp"
#include "common/failure.hpp"
#include "common/money.hpp"
#include "common/number_text.hpp"
#include "platform/durable_append.hpp"
#include "platform/settings_file.hpp"

namespace tovalix::gateway {
namespace {

constexpr std::int16_t kProcesoVenta = 11;

void AppendString(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7f) {
      std::array<char, 8> escaped{};
      std::snprintf(escaped.data(), escaped.size(), "\\u%04x", byte);
      out += escaped.data();
    } else {
      out += c;
    }
  }
  out += '"';
}

// An amount as a JSON number, exact to the centavo ("150.5", "150").
void AppendNumber(std::string& out, Money value) {
  out += value.Text();
}

void Key(std::string& out, std::string_view name) {
  out += out.size() == 1 ? "" : ",";
  AppendString(out, name);
  out += ':';
}

std::string TimeText(const platform::WallTime& when) {
  std::array<char, 48> text{};
  std::snprintf(text.data(), text.size(), "%04d-%02d-%02d %02d:%02d:%02d", when.date.year,
                when.date.month, when.date.day, when.hour, when.minute, when.second);
  return text.data();
}

bool ApprovalText(const Dictionary& result) {
  const std::string& message = result.Item("Response_Message");
  return message == "APROBADA" || message == "DEMO - APROBADA";
}

// The keys every journal line starts with: time, id and state.
std::string LineHead(std::string_view id, std::string_view state, const platform::WallTime& when) {
  std::string line = "{";
  Key(line, "time");
  AppendString(line, TimeText(when));
  Key(line, "id");
  AppendString(line, id);
  Key(line, "state");
  AppendString(line, state);
  return line;
}

// The keys every line of a sale carries, from time to last4.
std::string SaleLine(const PinPad& record, std::string_view model, std::string_view id,
                     std::string_view state, const platform::WallTime& when) {
  std::string line = LineHead(id, state, when);
  Key(line, "model");
  AppendString(line, model);
  Key(line, "ID_Store");
  line += std::to_string(record.ID_Store());
  Key(line, "ID_Transaction");
  line += std::to_string(record.ID_Transaction());
  Key(line, "Amount");
  AppendNumber(line, record.Amount());
  Key(line, "Total");
  AppendNumber(line, record.Total());
  Key(line, "Operation_Type");
  line += std::to_string(record.Operation_Type());
  Key(line, "last4");
  AppendString(line, LastFourDigits(record.track2()));
  return line;
}

void EndLine(std::string& line, bool in_doubt) {
  Key(line, "in_doubt");  // kept last
  line += in_doubt ? "true" : "false";
  line += '}';
}

// An approval that came whole but cannot be trusted: its amount (when it gives one) is not the
// amount sent, or it has no authorization number. A decline charges nothing, whatever it says.
bool AnswerUnusable(const PinPad& record, const Dictionary& answer) {
  if (!ApprovalText(answer)) return false;
  const std::string& amount = answer.Item("Amount");
  if (!TrimBlanks(amount).empty() && Money::Parse(amount) != record.Amount()) return true;
  return !Aprobada(answer);
}

Dictionary InDoubtResult(Dictionary result) {
  result.Set("ID_Tx", "-4");
  result.Set("Response_Message", kVentaEnDuda);
  return result;
}

void Append(const std::string& line, Operator& op) noexcept {
  try {
    platform::AppendDurably(JournalPath(), line + "\n");
  } catch (...) {
    ReportError(
        op, "TOVALIX: No se pudo anotar la venta en la bitácora: " + DescribeCurrentException());
  }
}

}  // namespace

bool Aprobada(const Dictionary& result) {
  if (!ApprovalText(result)) return false;
  const std::string_view authorization = TrimBlanks(result.Item("Authorization_Number"));
  return authorization.find_first_not_of('0') != std::string_view::npos;
}

std::filesystem::path JournalPath() {
  return platform::SettingsFile::DefaultPath().parent_path() / "journal.jsonl";
}

std::string LastFourDigits(std::string_view track2) {
  const std::size_t end = track2.find_first_of("=D");
  const std::string_view pan = track2.substr(0, end);
  std::string digits;
  for (const char c : pan) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits.size() < 4 ? std::string() : digits.substr(digits.size() - 4);
}

std::string NewSaleId() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now).count();
  unsigned random = 0;
  try {
    random = std::random_device()();
  } catch (...) {
    // No entropy source: the clock's finer digits still tell two sales of a second apart.
    random =
        static_cast<unsigned>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
  }
  std::array<char, 24> text{};
  std::snprintf(text.data(), text.size(), "%08llx%08x",
                static_cast<unsigned long long>(seconds) & 0xffffffffULL, random);
  return text.data();
}

std::string PendingLine(const PinPad& record, std::string_view model, std::string_view id,
                        const platform::WallTime& when) {
  std::string line = SaleLine(record, model, id, "pending", when);
  EndLine(line, true);
  return line;
}

std::string JournalLine(const PinPad& record, std::string_view model, std::string_view id,
                        const Dictionary& result, const WebOutcome& outcome,
                        const platform::WallTime& when) {
  std::string line = SaleLine(record, model, id, "outcome", when);
  for (const char* name : {"ID_Tx", "Authorization_Number", "Response_Message"}) {
    Key(line, name);
    AppendString(line, result.Item(name));
  }
  Key(line, "sent");
  line += outcome.sent ? "true" : "false";
  Key(line, "answered");
  line += outcome.answered ? "true" : "false";
  EndLine(line, result.Item("ID_Tx") == "-4");
  return line;
}

std::string SettledLine(std::string_view id, bool charged, const platform::WallTime& when) {
  std::string line = LineHead(id, "settled", when);
  Key(line, "charged");
  line += charged ? "true" : "false";
  EndLine(line, false);
  return line;
}

std::vector<std::pair<std::string, std::string>> SalesInDoubt(std::string_view journal_text) {
  struct Sale {
    std::string id;
    std::string line;  // the latest
    bool in_doubt = false;
    bool settled = false;
  };
  std::vector<Sale> sales;  // in the order they first appear
  std::map<std::string, std::size_t, std::less<>> position;
  std::size_t start = 0;
  for (std::size_t number = 1; start < journal_text.size(); ++number) {
    const std::size_t end = journal_text.find('\n', start);
    if (end == std::string_view::npos) break;  // no line end: the last write never finished
    const std::string_view line = journal_text.substr(start, end - start);
    start = end + 1;
    const auto json = nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false);
    if (!json.is_object()) continue;  // torn or foreign: no whole record
    const auto id = json.find("id");
    const auto doubt = json.find("in_doubt");
    const bool doubtful = doubt != json.end() && doubt->is_boolean() && doubt->get<bool>();
    // A line of an older journal, one line per sale, goes by its line number.
    const bool numbered = id == json.end() || !id->is_string();
    const std::string key =
        numbered ? "#" + std::to_string(number) : id->get_ref<const std::string&>();
    const auto [found, added] = position.try_emplace(key, sales.size());
    if (added) sales.push_back({key, "", false, false});
    // The latest line of a sale stands: an outcome that comes after an operator settled a sale
    // still pending (the gateway answered late, in doubt) brings it back to the list.
    Sale& sale = sales[found->second];
    const auto state = json.find("state");
    sale.settled = state != json.end() && *state == "settled";
    sale.line = std::string(line);
    sale.in_doubt = doubtful && !sale.settled;
  }
  std::vector<std::pair<std::string, std::string>> doubtful_sales;
  for (Sale& sale : sales) {
    if (sale.in_doubt) doubtful_sales.emplace_back(std::move(sale.id), std::move(sale.line));
  }
  return doubtful_sales;
}

std::vector<std::pair<std::string, std::string>> SalesInDoubt() {
  const auto path = JournalPath();
  std::error_code error;
  if (!std::filesystem::exists(path, error) && !error) return {};  // no sale journaled yet
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) throw Failure("No se pudo leer " + path.string());
  return SalesInDoubt(text.str());
}

void SettleSale(std::string_view id, bool charged) {
  const auto sales = SalesInDoubt();
  const bool known = !id.empty() && std::any_of(sales.begin(), sales.end(),
                                                [&](const auto& sale) { return sale.first == id; });
  if (!known) throw Failure("No hay venta en duda con el folio " + std::string(id));
  platform::AppendDurably(JournalPath(), SettledLine(id, charged, platform::LocalNow()) + "\n");
}

Dictionary WebSale(const PinPad& record, std::string_view model, const std::string& url,
                   const std::string& timeout, Operator& op) {
  const std::string id = NewSaleId();
  Append(PendingLine(record, model, id, platform::LocalNow()), op);
  WebOutcome outcome;
  Dictionary result = WebTransaction(record, url, kProcesoVenta, timeout, op, outcome);
  // From here on the gateway may hold the sale: nothing may turn the result back into "nothing
  // reached the gateway", neither a failure of our own nor a host's message box that throws.
  const bool in_doubt = InDoubt(outcome) || (outcome.answered && AnswerUnusable(record, result));
  if (in_doubt) result = InDoubtResult(std::move(result));
  try {
    Append(JournalLine(record, model, id, result, outcome, platform::LocalNow()), op);
    if (in_doubt) {
      op.MessageBox(std::string("TOVALIX: ") + kVentaEnDuda + " Folio: " + id, Operator::kCritical,
                    "");
    }
  } catch (...) {
    ReportError(op, "TOVALIX: " + DescribeCurrentException());
  }
  return result;
}

}  // namespace tovalix::gateway
