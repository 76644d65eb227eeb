// How the command-line tool talks: its operator and its printing of results.
// The operator: each message box goes to stderr, as text or, with
// --messages jsonl, as one JSON object a line (text, style, title).
#pragma once

#include <string>

#include <CLI/CLI.hpp>
#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

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

}  // namespace tovalix::cli
