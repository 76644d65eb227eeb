// How the command-line tool talks: its operator and its printing of results.
// The operator: each message box goes to stderr, as text or, with
// --messages jsonl, as one JSON object a line (text, style, title).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>
#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "commands.hpp"

namespace tovalix::cli {

class CliOperator : public Operator {
 public:
  enum class Mode { kText, kJsonLines };
  void MessageBox(const std::string& text, int style, const std::string& title) override;
  Mode mode = Mode::kText;
};

// Adds --messages text|jsonl to `command`, setting `op`'s mode.
void AddMessagesOption(CLI::App& command, CliOperator& op);

// True when a payment result is an approval.
bool IsApproved(const Dictionary& result);

// Prints a result as one JSON object on stdout.
void PrintJson(const std::string& json);

// Prints `result` and sets the exit status: 0 when its entry `key` reads `success`, else 1.
void PrintResult(Run& run, const Dictionary& result, std::string_view key,
                 std::string_view success);

// Prints an operation's number as {"<operation>":N} and sets the exit status: 0 when it is 1.
void PrintNumber(Run& run, const char* operation, std::int16_t result);

}  // namespace tovalix::cli
