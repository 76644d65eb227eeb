// The simulator's end of the line to the code under test. On POSIX it is the master of a pty
// pair (device_line_pty.cpp), on Windows one COM port of a null-modem pair whose other port the
// code under test opens (device_line_com.cpp).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tovalix::sim {

class DeviceLine {
 public:
  // Throws std::runtime_error when no line can be had.
  DeviceLine();
  ~DeviceLine();
  DeviceLine(const DeviceLine&) = delete;
  DeviceLine& operator=(const DeviceLine&) = delete;

  // What the code under test opens as its serial port.
  const std::string& PortPath() const;

  enum class Event { kBytes, kWoken, kFarEndGone };
  // Blocks until bytes arrive (appended to `bytes`), Wake() is called or the code under test's
  // end is gone for good. After HangUp it only waits for Wake().
  Event Wait(std::string& bytes);
  // Makes Wait return kWoken, now and from then on. Any thread.
  void Wake();

  // Writes what fits of `bytes`, waiting a moment for room; the count written, nullopt when
  // the line failed.
  std::optional<std::size_t> Write(std::string_view bytes);

  // Closes the line now; a hang-up the code under test sees where the platform can show one.
  void HangUp();
  bool hung_up() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Whether the code under test sees HangUp (POSIX); a null-modem pair of COM ports keeps the
// line up whatever one end does.
bool LineShowsHangUp();

// Windows: lines made from now on are in-process pipes that the library opens by name
// (platform/in_process_port.hpp), not COM pairs; for `tovalix demo`, which has no pair at hand.
void UseInProcessLines();

}  // namespace tovalix::sim
