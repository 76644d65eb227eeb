// A pseudo-terminal pair for a simulated PIN pad. The master end belongs to the simulator; the
// slave's path (/dev/pts/N) is handed to the code under test, which opens it as its serial
// port. Both ends are raw (in the default line discipline ETX interrupts, EOT ends the file
// and NAK kills the line).
#pragma once

#include <string>

namespace tovalix::sim {

class PtyPair {
 public:
  // Opens the pair (posix_openpt). Throws std::runtime_error when the system refuses.
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  // The simulator's end, non-blocking; -1 after HangUp.
  int master() const { return master_; }
  // What the code under test opens.
  const std::string& slave_path() const { return slave_path_; }

  // Closes the master end: whoever has the slave open sees a hang-up (POLLHUP, EIO).
  void HangUp();
  bool hung_up() const { return master_ < 0; }

 private:
  int master_ = -1;
  // Kept open so that the master never reads a hang-up while the code under test has the
  // slave closed (before it opens the port, between sales).
  int held_slave_ = -1;
  std::string slave_path_;
};

}  // namespace tovalix::sim
