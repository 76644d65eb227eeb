#include "cli_output.hpp"

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>

#include "common/text_encoding.hpp"
#include "gateway/sale_journal.hpp"

namespace tovalix::cli {

void CliOperator::MessageBox(const std::string& text, int style, const std::string& title) {
  if (mode == Mode::kJsonLines) {
    nlohmann::ordered_json line = {
        {"text", ToUtf8Lenient(text)}, {"style", style}, {"title", ToUtf8Lenient(title)}};
    std::fprintf(stderr, "%s\n", line.dump().c_str());
  } else {
    std::fprintf(stderr, "[%s] %s\n", title.empty() ? "TOVALIX" : title.c_str(), text.c_str());
  }
  std::fflush(stderr);
}

void AddMessagesOption(CLI::App& command, CliOperator& op) {
  const std::map<std::string, CliOperator::Mode> modes = {{"text", CliOperator::Mode::kText},
                                                          {"jsonl", CliOperator::Mode::kJsonLines}};
  command.add_option("--messages", op.mode, "how operator messages print on stderr")
      ->transform(CLI::CheckedTransformer(modes, CLI::ignore_case))
      ->default_str("text");
}

bool IsApproved(const Dictionary& result) {
  return gateway::Aprobada(result);
}

void PrintJson(const std::string& json) {
  std::printf("%s\n", json.c_str());
  std::fflush(stdout);
}

void PrintResult(Run& run, const Dictionary& result, std::string_view key,
                 std::string_view success) {
  PrintJson(result.ToJson());
  run.exit_status = result.Exists(key) && result.Item(key) == success ? 0 : 1;
}

void PrintNumber(Run& run, const char* operation, std::int16_t result) {
  PrintJson(std::string("{\"") + operation + "\":" + std::to_string(result) + "}");
  run.exit_status = result == 1 ? 0 : 1;
}

}  // namespace tovalix::cli
