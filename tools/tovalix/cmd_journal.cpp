// `tovalix journal [--in-doubt]`: the sale journal as JSON lines, or only the sales whose
// answer never came, for the merchant to reconcile with the gateway. A line cut short by a
// crash is left out: it is no whole record.
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "commands.hpp"
#include "gateway/sale_journal.hpp"

namespace tovalix::cli {
namespace {

int ShowJournal(bool only_in_doubt) {
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
    if (only_in_doubt && !gateway::JournalLineInDoubt(line)) continue;
    std::printf("%s\n", line.c_str());
  }
  return 0;
}

}  // namespace

void RegisterJournal(CLI::App& app, Run& run) {
  auto only_in_doubt = std::make_shared<bool>(false);
  CLI::App* command = app.add_subcommand(
      "journal", "Print the sale journal kept beside the settings file, one JSON line per sale");
  command->add_flag("--in-doubt", *only_in_doubt,
                    "Only sales whose request went out but whose answer never came");
  command->callback([only_in_doubt, &run] {
    try {
      run.exit_status = ShowJournal(*only_in_doubt);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "%s\n", error.what());
      run.exit_status = 1;
    }
  });
}

}  // namespace tovalix::cli
