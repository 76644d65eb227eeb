// tovalix print: vouchers and sales tickets on the Hypercom Optimum's printer. A voucher's data
// is a JSON object (the result another command printed, e.g. `tovalix pay ... | tovalix print
// voucher --operation 11 --data -`) with --set entries on top.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <tovalix/mostrador.hpp>
#include <vector>

#include "cli_output.hpp"
#include "commands.hpp"

namespace tovalix::cli {
namespace {

struct PrintArguments {
  std::string data;
  std::vector<std::string> entries;
  std::string text;
  std::int16_t operation = 0;
  std::string name, address1, address2, address3, phone, folio, total;
  std::vector<std::string> articles;
  std::vector<std::string> payments;
  CliOperator op;
};

// The voucher's data: the JSON object of --data ("-" reads standard input), then each --set
// KEY=VALUE. Texts stay as they are; other JSON values are written as JSON. Throws
// CLI::ValidationError for data that is no JSON object or an entry without "=".
Dictionary VoucherData(const PrintArguments& args) {
  Dictionary data;
  if (!args.data.empty()) {
    std::string text = args.data;
    if (text == "-") text.assign(std::istreambuf_iterator<char>(std::cin), {});
    const auto object = nlohmann::ordered_json::parse(text, nullptr, false);
    if (!object.is_object()) throw CLI::ValidationError("--data", "not a JSON object");
    for (const auto& [key, value] : object.items()) {
      data.Set(key, value.is_string() ? value.get<std::string>()
                    : value.is_null() ? std::string()
                                      : value.dump());
    }
  }
  for (const std::string& entry : args.entries) {
    const std::size_t equals = entry.find('=');
    if (equals == std::string::npos) throw CLI::ValidationError("--set", entry + ": no '='");
    data.Set(entry.substr(0, equals), entry.substr(equals + 1));
  }
  return data;
}

}  // namespace

void RegisterPrint(CLI::App& app, Run& run) {
  auto args = std::make_shared<PrintArguments>();
  CLI::App* print = app.add_subcommand(
      "print", "Print on the Hypercom Optimum's printer (exit 0 when everything printed)");
  print->require_subcommand(1);

  CLI::App* voucher = print->add_subcommand(
      "voucher", "Print an operation's voucher: a customer's copy, then a cashier's copy");
  voucher
      ->add_option("--operation", args->operation,
                   "11 card payment, 1 gift card, 22 counter service")
      ->required()
      ->check(CLI::IsMember({11, 1, 22}));
  voucher->add_option("--data", args->data,
                      "the voucher's data as a JSON object, such as a result of `tovalix pay`; "
                      "- reads it from standard input");
  voucher->add_option("--set", args->entries, "one more entry KEY=VALUE (repeatable)");
  voucher->add_option("--text", args->text, "free text for printers other than the Optimum's");
  AddMessagesOption(*voucher, args->op);
  voucher->callback([args, &run] {
    const Dictionary data = VoucherData(*args);
    Mostrador mostrador(args->op);
    PrintNumber(run, "ImprimeVoucher", mostrador.ImprimeVoucher(data, args->text, args->operation));
  });

  CLI::App* ticket = print->add_subcommand("ticket", "Print a sales ticket once");
  ticket->add_option("--name", args->name, "the business name at the head");
  ticket->add_option("--address1", args->address1, "address, first line");
  ticket->add_option("--address2", args->address2, "second line");
  ticket->add_option("--address3", args->address3, "third line");
  ticket->add_option("--phone", args->phone, "telephone");
  ticket->add_option("--folio", args->folio, "the sale's number");
  ticket->add_option("--total", args->total, "the total, printed as given")->required();
  ticket->add_option("--article", args->articles,
                     "\"description,quantity,unit price\" (repeatable, printed in order)");
  ticket->add_option("--payment", args->payments, "\"concept,amount\" (repeatable)");
  AddMessagesOption(*ticket, args->op);
  ticket->callback([args, &run] {
    Mostrador mostrador(args->op);
    PrintNumber(run, "ImprimeTicket",
                mostrador.ImprimeTicket(args->name, args->address1, args->address2, args->address3,
                                        args->phone, args->folio, args->total, args->articles,
                                        args->payments));
  });
}

}  // namespace tovalix::cli
