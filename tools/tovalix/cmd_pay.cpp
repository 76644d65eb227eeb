// tovalix pay: PagoTarjeta from the command line.
#include <memory>
#include <optional>
#include <tovalix/cliente.hpp>

#include "cli_output.hpp"
#include "commands.hpp"

namespace tovalix::cli {
namespace {

struct PayArguments {
  std::int32_t store = 0;
  double amount = 0;
  double tip = 0;
  std::optional<double> total;
  std::int32_t transaction = 0;
  std::int16_t operation = 1;
  std::string authorization;
  std::int32_t client_tx = 0;
  std::int32_t server_tx = 0;
  std::string deferment;
  std::string payments;
  std::string plan;
  CliOperator op;
};

}  // namespace

void RegisterPay(CLI::App& app, Run& run) {
  auto args = std::make_shared<PayArguments>();
  CLI::App* command = app.add_subcommand(
      "pay",
      "Take a card payment on the configured PIN pad (exit 0 when approved, 3 when it "
      "may have been charged without an answer: see `tovalix journal --in-doubt`)");
  command->add_option("--store", args->store, "store identifier")->required();
  command->add_option("--amount", args->amount, "amount charged")->required();
  command->add_option("--tip", args->tip, "tip (default 0)");
  command->add_option("--total", args->total, "total (default amount plus tip)");
  command->add_option("--transaction", args->transaction, "the host's transaction number")
      ->required();
  command->add_option("--operation", args->operation, "1 sale, 2 cancellation, 3 verification")
      ->check(CLI::Range(1, 3));
  command->add_option("--authorization", args->authorization,
                      "authorization number of the sale to cancel");
  command->add_option("--client-tx", args->client_tx, "earlier transaction, host's id");
  command->add_option("--server-tx", args->server_tx, "earlier transaction, gateway's id");
  command->add_option("--deferment", args->deferment, "months of initial deferment (2 digits)");
  command->add_option("--payments", args->payments, "number of payments (2 digits)");
  command->add_option("--plan", args->plan, "plan type (2 digits)");
  AddMessagesOption(*command, args->op);
  command->callback([args, &run] {
    // The total defaults to the sum as given: rounding it here would hide an amount with a
    // fraction of a centavo, which the control refuses.
    const double total = args->total.value_or(args->amount + args->tip);
    Cliente cliente(args->op);
    const Dictionary result =
        cliente.PagoTarjeta(args->store, args->amount, args->tip, total, args->transaction,
                            args->operation, args->authorization, args->client_tx, args->server_tx,
                            args->deferment, args->payments, args->plan);
    PrintJson(result.ToJson());
    if (IsApproved(result)) {
      run.exit_status = 0;
    } else {
      run.exit_status = result.Item("ID_Tx") == "-4" ? 3 : 1;
    }
  });
}

}  // namespace tovalix::cli
