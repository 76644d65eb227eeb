// How every simulator command ends: it serves until SIGINT or SIGTERM.
#pragma once

#include <csignal>

namespace tovalix::sim_cli {

class StopSignals {
 public:
  // Blocks SIGINT and SIGTERM in this thread and in the threads it starts from now on, so that
  // only Wait sees them: construct it before the simulator's threads exist.
  StopSignals();
  // Returns once SIGINT or SIGTERM has arrived.
  void Wait() const;

 private:
  sigset_t signals_;
};

}  // namespace tovalix::sim_cli
