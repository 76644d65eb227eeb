#include "stop_signals.hpp"

#include <pthread.h>

namespace tovalix::sim_cli {

StopSignals::StopSignals() {
  sigemptyset(&signals_);
  sigaddset(&signals_, SIGINT);
  sigaddset(&signals_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
}

void StopSignals::Wait() const {
  int received = 0;
  sigwait(&signals_, &received);
}

}  // namespace tovalix::sim_cli
