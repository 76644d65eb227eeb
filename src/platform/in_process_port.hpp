// A serial line inside one process, for systems without pseudo-terminals: two ends joined by
// byte queues, each a SerialPort. A simulated PIN pad holds one end; the library opens the
// other through OpenSerialPort by the line's name. Only names this process made are served, so
// no port name from settings or a device map reaches a line it was not given.
#pragma once

#include <memory>
#include <string>

#include "platform/serial_port.hpp"

namespace tovalix::platform {

struct InProcessLine {
  std::string name;                    // what OpenSerialPort takes for the other end
  std::unique_ptr<SerialPort> device;  // the simulator's end; closing it hangs the line up
};

// A new line under a name no other line of this process has had.
InProcessLine MakeInProcessLine();

// The far end of the line called `path`, held exclusively like any port (PortInUse while
// another open holds it); nullptr when this process has no live line of that name.
std::unique_ptr<SerialPort> OpenInProcessPort(const std::string& path);

}  // namespace tovalix::platform
