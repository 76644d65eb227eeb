// tovalix counter: the banking agent's counter from the command line (teller sign-in and
// sign-out, the operation log, remittance orders, gift-card PINs). A NIP or a card's tracks may
// come from the environment instead of the command line, which any user of the machine can
// read in the process list.
#include <memory>
#include <string>
#include <tovalix/mostrador.hpp>

#include "cli_output.hpp"
#include "commands.hpp"

namespace tovalix::cli {
namespace {

struct CounterArguments {
  std::string user;
  std::string nip;
  std::string track1;
  std::string track2;
  std::string order;
  // The identification documents of a remittance payment, in the order the service takes them.
  std::string visa, passport, green_card, social_security, consular_id, voter_id, licence;
  // The operation-log entry, by the keys the service takes.
  std::string total, date_time, truncated, address1, address2, address3, brand, rfc, phone, teller,
      response_message, operation_type;
  CliOperator op;
};

// An option that may come from `environment` instead, out of the process list.
CLI::Option* AddSecret(CLI::App& command, const char* name, std::string& value, const char* help,
                       const char* environment) {
  return command.add_option(name, value, help)->envname(environment);
}

void RegisterSession(CLI::App& counter, Run& run, const std::shared_ptr<CounterArguments>& args) {
  for (const char* type : {"C", "D"}) {
    const bool in = std::string(type) == "C";
    CLI::App* command = counter.add_subcommand(
        in ? "signin" : "signout",
        in ? "Sign a teller in to the card service with the teller's NIP and card "
             "(exit 0 when the service answers status 1)"
           : "Sign a teller out (exit 0 when the service answers status 1)");
    command->add_option("--user", args->user, "the teller's eight-digit operator number")
        ->required();
    // Signing out needs neither the NIP nor the card.
    AddSecret(*command, "--nip", args->nip, "the teller's four-digit NIP", "TOVALIX_NIP")
        ->required(in);
    AddSecret(*command, "--track2", args->track2, "track 2 of the teller's card", "TOVALIX_TRACK2")
        ->required(in);
    AddMessagesOption(*command, args->op);
    command->callback([args, &run, type] {
      Mostrador mostrador(args->op);
      PrintResult(run, mostrador.SesionCajero(args->user, args->nip, args->track2, type), "status",
                  "1");
    });
  }
}

void RegisterLog(CLI::App& counter, Run& run, const std::shared_ptr<CounterArguments>& args) {
  CLI::App* command = counter.add_subcommand(
      "log", "Record one counter operation in the service's log (exit 0 on status 1)");
  struct Entry {
    const char* key;
    std::string CounterArguments::*value;
    const char* help;
  };
  static const Entry kEntries[] = {
      {"total", &CounterArguments::total, "the operation's amount, a number"},
      {"date_time", &CounterArguments::date_time, "when it happened"},
      {"truncated", &CounterArguments::truncated, "last digits of the card (default 0)"},
      {"address1", &CounterArguments::address1, "merchant address, first line"},
      {"address2", &CounterArguments::address2, "second line"},
      {"address3", &CounterArguments::address3, "third line"},
      {"brand", &CounterArguments::brand, "merchant's brand"},
      {"rfc", &CounterArguments::rfc, "merchant's RFC"},
      {"phone", &CounterArguments::phone, "merchant's telephone"},
      {"teller", &CounterArguments::teller, "the teller"},
      {"response_message", &CounterArguments::response_message, "the outcome in words"},
      {"operation_type", &CounterArguments::operation_type, "the kind of operation"},
  };
  for (const Entry& entry : kEntries) {
    std::string name = std::string("--") + entry.key;
    for (char& c : name) c = c == '_' ? '-' : c;
    CLI::Option* option = command->add_option(name, (*args).*(entry.value), entry.help);
    if (entry.value == &CounterArguments::total) option->required();
  }
  AddMessagesOption(*command, args->op);
  command->callback([args, &run] {
    Dictionary bitacora;
    for (const Entry& entry : kEntries) bitacora.Set(entry.key, (*args).*(entry.value));
    Mostrador mostrador(args->op);
    PrintResult(run, mostrador.RegistraBitacora(bitacora), "status", "1");
  });
}

void RegisterRemittances(CLI::App& counter, Run& run,
                         const std::shared_ptr<CounterArguments>& args) {
  CLI::App* query = counter.add_subcommand(
      "remittance",
      "Look a remittance order up (exit 0 when the order was found: response_code 1)");
  query->add_option("--order", args->order, "the order number")->required();
  AddMessagesOption(*query, args->op);
  query->callback([args, &run] {
    Mostrador mostrador(args->op);
    PrintResult(run, mostrador.ConsultaRemesa(args->order), "response_code", "1");
  });

  CLI::App* pay = counter.add_subcommand(
      "pay",
      "Pay a remittance order out to its beneficiary against at least one identification "
      "document (exit 0 when paid: response_code 1)");
  pay->add_option("--order", args->order, "the order number")->required();
  pay->add_option("--visa", args->visa, "visa number");
  pay->add_option("--passport", args->passport, "passport number");
  pay->add_option("--green-card", args->green_card, "green card number");
  pay->add_option("--social-security", args->social_security, "social security number");
  pay->add_option("--consular-id", args->consular_id, "consular registration (matrícula)");
  pay->add_option("--voter-id", args->voter_id, "voter identification (IFE/INE)");
  pay->add_option("--licence", args->licence, "driving licence number");
  AddMessagesOption(*pay, args->op);
  pay->callback([args, &run] {
    Mostrador mostrador(args->op);
    PrintResult(run,
                mostrador.PagaRemesa(args->order, args->visa, args->passport, args->green_card,
                                     args->social_security, args->consular_id, args->voter_id,
                                     args->licence),
                "response_code", "1");
  });
}

void RegisterNip(CLI::App& counter, Run& run, const std::shared_ptr<CounterArguments>& args) {
  CLI::App* command = counter.add_subcommand(
      "nip",
      "Give a gift card, whose tracks the host has read, its four-digit PIN (exit 0 when the "
      "service reports no error)");
  AddSecret(*command, "--nip", args->nip, "the card's new four-digit PIN", "TOVALIX_NIP")
      ->required();
  AddSecret(*command, "--track1", args->track1, "track 1 of the card", "TOVALIX_TRACK1")
      ->required();
  AddSecret(*command, "--track2", args->track2, "track 2 of the card", "TOVALIX_TRACK2")
      ->required();
  AddMessagesOption(*command, args->op);
  command->callback([args, &run] {
    Mostrador mostrador(args->op);
    PrintResult(run, mostrador.AsignaNip(args->nip, args->track1, args->track2), "error", "");
  });
}

}  // namespace

void RegisterCounter(CLI::App& app, Run& run) {
  auto args = std::make_shared<CounterArguments>();
  CLI::App* counter = app.add_subcommand(
      "counter",
      "The banking agent's counter on the initialized terminal: teller sign-in and sign-out, "
      "the operation log, remittance orders, gift-card PINs. Sign-in and the log go to the "
      "banking-agent service at $TOVALIX_COUNTER_URL, the rest to the gateway. A NIP or a "
      "card's track is best given in its environment variable, out of the process list");
  counter->require_subcommand(1);
  RegisterSession(*counter, run, args);
  RegisterLog(*counter, run, args);
  RegisterRemittances(*counter, run, args);
  RegisterNip(*counter, run, args);
}

}  // namespace tovalix::cli
