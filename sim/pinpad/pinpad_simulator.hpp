// The PIN pad simulator framework. A PinPadSimulator owns a line (device_line.hpp: a pty pair
// on POSIX, a pair of COM ports on Windows) and a device thread that plays the PIN pad on its
// end while the code under test opens PortPath() as its serial port. Received bytes are cut into
// units by the simulator's Framing (framing.hpp): whole frames, or single bytes outside a frame
// (ACK, NAK, EOT, ENQ, garbage). Each unit is recorded and handed to OnUnit on the device thread,
// which answers with Send().
//
// Faults are properties of a Delivery: garbage before or after the bytes, the bytes cut into
// pieces with pauses between them, bytes paced at the real speed of 19200 baud, a silence
// before the first byte, a hang-up after a given number of bytes. Silence is simply not
// sending; NAK and a wrong LRC are bytes (SendNak, WithWrongLrc).
//
// Writing a protocol simulator: derive, pass the protocol's Framing to the constructor,
// override OnUnit, call Start() at the end of your constructor and Stop() first thing in your
// destructor (the device thread calls OnUnit, which must not run on a half-destroyed object).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "sim/pinpad/device_line.hpp"
#include "sim/pinpad/framing.hpp"

namespace tovalix::sim {

// Time of one byte at 19200 baud, 8N1 (ten bits on the line).
inline constexpr std::chrono::nanoseconds kByteTimeAt19200{520'833};

// How bytes go out on the line.
struct Delivery {
  std::string before;  // garbage written ahead of the bytes
  std::string after;   // garbage written after them
  // Cut the whole output (before + bytes + after) at these offsets, ascending; each piece is one
  // write, with `pause` between pieces.
  std::vector<std::size_t> cuts;
  std::chrono::microseconds pause{0};
  std::chrono::microseconds delay{0};  // silence before the first byte
  bool paced = false;                  // one byte every kByteTimeAt19200
  // Hang up (close the simulator's end) once this many bytes of the output went out.
  std::optional<std::size_t> hang_up_after;

  // Chainable setters: Delivery().SplitAt({3, 7}, 2ms).Paced()
  Delivery& WithGarbage(std::string ahead, std::string behind = "") {
    before = std::move(ahead);
    after = std::move(behind);
    return *this;
  }
  Delivery& SplitAt(std::vector<std::size_t> offsets, std::chrono::microseconds gap) {
    cuts = std::move(offsets);
    pause = gap;
    return *this;
  }
  Delivery& Delayed(std::chrono::microseconds silence) {
    delay = silence;
    return *this;
  }
  Delivery& Paced() {
    paced = true;
    return *this;
  }
  Delivery& HangUpAfter(std::size_t bytes) {
    hang_up_after = bytes;
    return *this;
  }
};

// A fault on one output of the device, chosen by its number (the first Send after Start is 0):
// the output dropped (silence), replaced by a NAK, sent with its last byte (the LRC) changed,
// or sent as `how` says (garbage, cuts, pace, hang-up) instead of its own delivery.
struct LineFault {
  enum class Kind { kSilence, kNak, kWrongLrc, kDelivery };
  Kind kind = Kind::kDelivery;
  Delivery how{};
};

// One thing the device received.
struct Unit {
  std::string bytes;
  bool is_frame() const { return !bytes.empty() && bytes[0] == 0x02; }
};

class PinPadSimulator {
 public:
  explicit PinPadSimulator(Framing framing);
  virtual ~PinPadSimulator();
  PinPadSimulator(const PinPadSimulator&) = delete;
  PinPadSimulator& operator=(const PinPadSimulator&) = delete;

  // The serial port path for the code under test.
  const std::string& PortPath() const { return line_.PortPath(); }

  // Starts and stops the device thread. Stop is idempotent and waits for the thread.
  void Start();
  void Stop();

  // Everything received so far, as units and as raw bytes. Thread-safe copies.
  std::vector<Unit> Units() const;
  std::string ReceivedBytes() const;
  // Waits (real time) until at least `count` units were received and handled (OnUnit returned);
  // false on time-out. The code under test may return before the device has read its last
  // ACK/NAK: wait before asserting on what the device saw.
  bool WaitForUnits(std::size_t count,
                    std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) const;

  // When the last byte of the latest Send went out (steady clock); for benchmarks.
  std::chrono::steady_clock::time_point LastByteSentAt() const;
  bool HungUp() const { return hung_up_.load(); }

  // Writes `bytes` as `how` says. Meant for the device thread (inside OnUnit); from another
  // thread only while the device is idle.
  void Send(std::string_view bytes, const Delivery& how = {});
  void SendAck(const Delivery& how = {}) { Send("\x06", how); }
  void SendNak(const Delivery& how = {}) { Send("\x15", how); }
  void SendEot(const Delivery& how = {}) { Send("\x04", how); }
  // Closes the line now (device thread only).
  void HangUp();

  // Arms `fault` for output number `send_number`; for soak runs that need one fault on any
  // model. Thread-safe.
  void AddLineFault(std::size_t send_number, LineFault fault);
  // How many armed faults hit an output so far.
  std::size_t LineFaultsFired() const;
  // Every output paced at 19200 baud, as a real line would carry it (for benchmarks).
  void PaceEverything(bool on) { pace_everything_ = on; }
  // Bytes written to the line so far.
  std::size_t BytesSent() const;

 protected:
  // Called on the device thread for every unit received, in order.
  virtual void OnUnit(const Unit& unit) = 0;

 private:
  void Run();
  void Deliver(std::string_view bytes, const Delivery& how);
  void WriteAll(std::string_view bytes);
  void Consume();
  bool Stopping() const { return stop_.load(); }

  DeviceLine line_;
  Framing framing_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> hung_up_{false};
  std::string pending_;  // device thread only

  mutable std::mutex mutex_;
  mutable std::condition_variable arrived_;
  std::vector<Unit> units_;
  std::size_t handled_ = 0;  // units whose OnUnit has returned
  std::string received_;
  std::chrono::steady_clock::time_point last_sent_{};
  std::vector<std::pair<std::size_t, LineFault>> line_faults_;
  std::size_t sends_ = 0;
  std::size_t line_faults_fired_ = 0;
  std::size_t bytes_sent_ = 0;
  std::atomic<bool> pace_everything_{false};
};

}  // namespace tovalix::sim
