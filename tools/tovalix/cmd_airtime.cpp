// tovalix airtime: the four airtime operations from the command line.
#include <memory>
#include <tovalix/cliente.hpp>

#include "cli_output.hpp"
#include "commands.hpp"

namespace tovalix::cli {
namespace {

struct AirtimeArguments {
  std::string provider;
  std::string phone;
  double amount = 0;
  std::string timestamp;
  std::string teller;
  CliOperator op;
};

// Prints the result; exit 0 when the service accepted the operation.
void Accepted(Run& run, const Dictionary& result) {
  PrintResult(run, result, "Accepted", "True");
}

}  // namespace

void RegisterAirtime(CLI::App& app, Run& run) {
  auto args = std::make_shared<AirtimeArguments>();
  CLI::App* airtime = app.add_subcommand("airtime", "Mobile airtime (exit 0 when accepted)");
  airtime->require_subcommand(1);

  CLI::App* topup = airtime->add_subcommand("topup", "Sell airtime to a telephone");
  topup->add_option("--provider", args->provider, "provider, as the catalogue names it")
      ->required();
  topup->add_option("--phone", args->phone, "ten-digit telephone")->required();
  topup->add_option("--amount", args->amount, "amount, as the catalogue lists it")->required();
  topup->add_option("--timestamp", args->timestamp, "the sale's unique reference (26 chars)")
      ->required();
  topup->add_option("--teller", args->teller, "cashier's numeric login");
  AddMessagesOption(*topup, args->op);
  topup->callback([args, &run] {
    Cliente cliente(args->op);
    Accepted(run, cliente.TiempoAire(args->teller, args->provider, args->phone, args->amount,
                                     args->timestamp));
  });

  CLI::App* status = airtime->add_subcommand("status", "The state of an earlier sale");
  status->add_option("--provider", args->provider, "provider")->required();
  status->add_option("--timestamp", args->timestamp, "the sale's reference")->required();
  AddMessagesOption(*status, args->op);
  status->callback([args, &run] {
    Cliente cliente(args->op);
    Accepted(run, cliente.TiempoAireStatusVenta(args->provider, args->timestamp));
  });

  CLI::App* balance = airtime->add_subcommand("balance", "The merchant's airtime balance");
  balance->add_option("--teller", args->teller, "cashier's numeric login");
  AddMessagesOption(*balance, args->op);
  balance->callback([args, &run] {
    Cliente cliente(args->op);
    Accepted(run, cliente.TiempoAireConsultaSaldo(args->teller));
  });

  CLI::App* amounts = airtime->add_subcommand("amounts", "The amounts a provider sells");
  amounts->add_option("--provider", args->provider, "provider")->required();
  AddMessagesOption(*amounts, args->op);
  amounts->callback([args, &run] {
    Cliente cliente(args->op);
    Accepted(run, cliente.TiempoAireCantidades(args->provider));
  });
}

}  // namespace tovalix::cli
