// tovalix-sim: the simulated PIN pads, payment gateway and airtime service, each alone, so that
// an integrator can develop a POS host without devices or servers.
#include "cli_main.hpp"
#include "commands.hpp"

int main(int argc, char** argv) {
  return tovalix::tools::RunCommandLine<tovalix::sim_cli::Run>(
      "Simulated PIN pads and services for developing a Tovalix host.", "tovalix-sim",
      tovalix::sim_cli::kCommands, argc, argv);
}
