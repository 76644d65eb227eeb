#include "gateway/sale_journal.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "common/error_report.hpp"
#include "platform/durable_append.hpp"
#include "platform/settings_file.hpp"

namespace tovalix::gateway {
namespace {

constexpr std::int16_t kProcesoVenta = 11;
constexpr std::string_view kInDoubtEnding = "\"in_doubt\":true}";

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

}  // namespace

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

std::string JournalLine(const PinPad& record, std::string_view model, const Dictionary& result,
                        const WebOutcome& outcome, const platform::WallTime& when) {
  std::string line = "{";
  Key(line, "time");
  AppendString(line, TimeText(when));
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
  for (const char* name : {"ID_Tx", "Authorization_Number", "Response_Message"}) {
    Key(line, name);
    AppendString(line, result.Item(name));
  }
  Key(line, "sent");
  line += outcome.sent ? "true" : "false";
  Key(line, "answered");
  line += outcome.answered ? "true" : "false";
  Key(line, "in_doubt");  // kept last: JournalLineInDoubt reads the ending
  line += InDoubt(outcome) ? "true" : "false";
  line += '}';
  return line;
}

bool JournalLineInDoubt(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line.size() >= kInDoubtEnding.size() &&
         line.substr(line.size() - kInDoubtEnding.size()) == kInDoubtEnding;
}

void AppendJournal(const PinPad& record, std::string_view model, const Dictionary& result,
                   const WebOutcome& outcome, Operator& op) noexcept {
  try {
    const std::string line =
        JournalLine(record, model, result, outcome, platform::LocalNow()) + "\n";
    platform::AppendDurably(JournalPath(), line);
  } catch (...) {
    ReportError(
        op, "TOVALIX: No se pudo anotar la venta en la bitácora: " + DescribeCurrentException());
  }
}

Dictionary WebSale(const PinPad& record, std::string_view model, const std::string& url,
                   const std::string& timeout, Operator& op) {
  WebOutcome outcome;
  Dictionary result = WebTransaction(record, url, kProcesoVenta, timeout, op, outcome);
  AppendJournal(record, model, result, outcome, op);
  return result;
}

}  // namespace tovalix::gateway
