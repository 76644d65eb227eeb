// tovalix init: InicializaPinPad from the command line.
#include <memory>
#include <tovalix/cliente.hpp>

#include "cli_output.hpp"
#include "commands.hpp"

namespace tovalix::cli {
namespace {

struct InitArguments {
  std::string store;
  std::int32_t ptid = 0;
  std::string model;
  std::string serial;
  std::string user_ta;
  std::string pwd_ta;
  CliOperator op;
};

}  // namespace

void RegisterInit(CLI::App& app, Run& run) {
  auto args = std::make_shared<InitArguments>();
  CLI::App* command = app.add_subcommand(
      "init",
      "Initialize the terminal: read the PIN pad's serial number, register it with the "
      "gateway and store its parameters (exit 0 when initialized)");
  command->add_option("--store", args->store, "store identifier, or a list such as 5,17,230")
      ->required();
  command->add_option("--ptid", args->ptid, "terminal number")->required();
  command
      ->add_option("--model", args->model,
                   "INGENICO3070, IPP320, Vx810, NURIT293, OPTIMUM or NINGUNA")
      ->required();
  command->add_option("--serial", args->serial, "serial number, for NINGUNA only");
  command->add_option("--user-ta", args->user_ta, "airtime user");
  command->add_option("--pwd-ta", args->pwd_ta, "airtime password");
  AddMessagesOption(*command, args->op);
  command->callback([args, &run] {
    Cliente cliente(args->op);
    const std::int16_t result = cliente.InicializaPinPad(args->store, args->ptid, args->model,
                                                         args->serial, args->user_ta, args->pwd_ta);
    PrintNumber(run, "InicializaPinPad", result);
  });
}

}  // namespace tovalix::cli
