// The serial port seam: one PIN pad line, opened by path at 19200 baud, 8 data bits, no parity,
// one stop bit, raw, without flow control. The POSIX backend (posix/termios_serial_port.cpp)
// serves real ttys, USB adapters and pseudo-terminals alike.
//
// Every method that fails throws tovalix::Failure with a description the operator can read;
// the serial primitives trap it. A hang-up (the device or the far end of a pty went away), an
// I/O error and a read of 0 bytes are failures of the port, never "nothing arrived".
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tovalix::platform {

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

  // Every byte pending now, "" when none; never blocks. Throws Failure on a hang-up, an I/O
  // error, a read of 0 bytes, or when the port is closed.
  virtual std::string ReadPending() = 0;

  // Closes the port; nothing when it is already closed. Never throws.
  virtual void Close() noexcept = 0;
  virtual bool IsOpen() const = 0;
};

// Opens `path` as a serial port. Throws Failure when it does not exist, cannot be opened or is
// not a terminal device.
std::unique_ptr<SerialPort> OpenSerialPort(const std::string& path);

// The path of the platform's n-th native serial port (n from 1): on Linux "/dev/ttyS" + (n-1).
// The prefix can be replaced with the environment variable TOVALIX_NATIVE_PORT_PREFIX (tests
// point it at a scratch folder).
std::string NativePortPath(int number);

}  // namespace tovalix::platform
