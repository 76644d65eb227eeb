// tovalix: every public operation of the component from the command line, for integrators.
#include "cli_main.hpp"
#include "commands.hpp"

int main(int argc, char** argv) {
  return tovalix::tools::RunCommandLine<tovalix::cli::Run>(
      "Tovalix: card payments on a PIN pad, mobile airtime and terminal set-up for "
      "point-of-sale hosts.\nResults print as JSON on stdout; operator messages go to stderr.",
      "tovalix", tovalix::cli::kCommands, argc, argv);
}
