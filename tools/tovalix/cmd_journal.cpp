// `tovalix journal [--in-doubt]`: the sale journal as JSON lines, or only the latest line of
// each sale still in doubt (it may have been charged without an answer), for the merchant to
// reconcile with the gateway. `tovalix journal settle <id> --charged|--not-charged` records
// what the gateway confirmed; the sale then leaves the list. A line cut short by a crash is
// left out: it is no whole record.
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <tovalix/cliente.hpp>

#include "cli_output.hpp"
#include "commands.hpp"
#include "gateway/sale_journal.hpp"

namespace tovalix::cli {
namespace {

struct JournalArguments {
  bool only_in_doubt = false;
  std::string id;
  bool charged = false;
  bool not_charged = false;
  CliOperator op;
};

int ShowJournal() {
  const auto path = gateway::JournalPath();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return 0;  // no sale journaled yet
    std::fprintf(stderr, "No se pudo leer %s\n", path.string().c_str());
    return 1;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (in.eof()) break;  // no line end: the last write never finished
    if (line.empty() || line.front() != '{' || line.back() != '}') continue;
    std::printf("%s\n", line.c_str());
  }
  return 0;
}

}  // namespace

void RegisterJournal(CLI::App& app, Run& run) {
  auto args = std::make_shared<JournalArguments>();
  CLI::App* command = app.add_subcommand(
      "journal", "Print the sale journal kept beside the settings file (JSON lines)");
  command->add_flag("--in-doubt", args->only_in_doubt,
                    "Only the latest line of each sale that may have been charged without an "
                    "answer and is not settled yet");
  CLI::App* settle = command->add_subcommand(
      "settle", "Record whether a sale in doubt was charged, as the gateway confirmed");
  settle->add_option("id", args->id, "the sale's journal id")->required();
  CLI::Option_group* outcome = settle->add_option_group("outcome");
  outcome->add_flag("--charged", args->charged, "the gateway charged the sale");
  outcome->add_flag("--not-charged", args->not_charged, "the gateway did not charge the sale");
  outcome->require_option(1);
  AddMessagesOption(*settle, args->op);

  settle->callback([args, &run] {
    Cliente cliente(args->op);
    run.exit_status = cliente.ConciliaVenta(args->id, args->charged) == 1 ? 0 : 1;
  });
  command->callback([args, settle, &run] {
    if (settle->parsed()) return;
    try {
      if (!args->only_in_doubt) {
        run.exit_status = ShowJournal();
        return;
      }
      for (const auto& [id, line] : gateway::SalesInDoubt()) std::printf("%s\n", line.c_str());
    } catch (const std::exception& error) {
      std::fprintf(stderr, "%s\n", error.what());
      run.exit_status = 1;
    }
  });
}

}  // namespace tovalix::cli
