// The serial port seam: one PIN pad line, opened by path at 19200 baud, 8 data bits, no parity,
// one stop bit, raw, without flow control. The POSIX backend (posix/termios_serial_port.cpp)
// serves real ttys, USB adapters and pseudo-terminals alike.
//
// Every method that fails throws tovalix::Failure with a description the operator can read;
// the serial primitives trap it. A hang-up (the device or the far end of a pty went away) and an
// I/O error are failures of the port, never "nothing arrived"; a read that returns nothing is
// not a hang-up.
//
// An open port is held exclusively: a second open of the same device, by this or any other
// process (root included), fails with PortInUse until the first is closed.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/failure.hpp"

namespace tovalix::platform {

// The text of a PIN pad held by another process; also what the sale results carry.
inline constexpr std::string_view kPinPadEnUso =
    "La PinPad está siendo usada por otro proceso. Espere a que termine e intente de nuevo.";

// The port is held by another user of the PIN pad.
class PortInUse : public Failure {
 public:
  explicit PortInUse(const std::string& path)
      : Failure(std::string(kPinPadEnUso) + " (" + path + ")") {}
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // The path the port was opened with.
  virtual const std::string& Path() const = 0;

  // Writes every byte of `bytes` (waiting for room in the output queue when it is full).
  // Throws Failure when the port is closed, hung up or the write fails.
  virtual void Write(std::string_view bytes) = 0;

  // Blocks at most `real_ms` real milliseconds (0: just looks) until bytes are pending.
  // Returns true when there is something to read, false when the time ran out. Throws Failure
  // on a hang-up or an error of the port, and when it is closed.
  virtual bool WaitReadable(int real_ms) = 0;

  // Every byte pending now, "" when none; never blocks. Throws Failure on an I/O error (EIO is
  // a hang-up) or when the port is closed.
  virtual std::string ReadPending() = 0;

  // Closes the port; nothing when it is already closed. Never throws.
  virtual void Close() noexcept = 0;
  virtual bool IsOpen() const = 0;
};

// Opens `path` as a serial port and takes it exclusively. Throws PortInUse when another open
// holds it, Failure when it does not exist, cannot be opened or is not a terminal device.
std::unique_ptr<SerialPort> OpenSerialPort(const std::string& path);

// The path of the platform's n-th native serial port (n from 1): on Linux "/dev/ttyS" + (n-1).
// The prefix can be replaced with the environment variable TOVALIX_NATIVE_PORT_PREFIX (tests
// point it at a scratch folder).
std::string NativePortPath(int number);

}  // namespace tovalix::platform
