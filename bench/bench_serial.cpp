// How quickly the serial link notices an answer, and how idle it is while it waits.
// Over a pty, the simulated PIN pad paces its answers at 19200 baud:
//   (a) from the simulator's last byte of an answer frame to EnviaRecibe returning, over 200
//       exchanges: median and 99th percentile;
//   (b) the CPU time of the process during a 20-second EnviaRecibe that gets no answer;
//   and the ratio of a whole exchange's time to its answer frame's time on the wire.
// The last line is the summary: serial: median_ms=M p99_ms=P wait_cpu_pct=C ratio=R
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <tovalix/operator.hpp>

#include "drivers/models.hpp"
#include "platform/clock.hpp"
#include "serial/generales.hpp"
#include "serial/serial_link.hpp"
#include "sim/pinpad/pinpad_simulator.hpp"

#include "bench_support.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using tovalix::bench::Ms;
using tovalix::bench::Percentile;
using tovalix::bench::QuietOperator;
using tovalix::sim::Delivery;

constexpr int kExchanges = 200;
constexpr std::size_t kAnswerData = 100;  // bytes of data in the answer (108-byte frame)

// Answers every frame with `answer`, paced at 19200 baud; stays silent when told to.
class PacedPad final : public tovalix::sim::PinPadSimulator {
 public:
  explicit PacedPad(std::string answer)
      : PinPadSimulator(tovalix::sim::LengthFraming), answer_(std::move(answer)) {
    Start();
  }
  ~PacedPad() override { Stop(); }
  void Silence() { silent_ = true; }

 protected:
  void OnUnit(const tovalix::sim::Unit& unit) override {
    if (unit.is_frame() && !silent_) Send(answer_, Delivery().Paced());
  }

 private:
  std::string answer_;
  std::atomic<bool> silent_{false};
};

}  // namespace

int main() {
  std::string data;
  for (std::size_t i = 0; i < kAnswerData; ++i) data += static_cast<char>('A' + i % 26);
  const std::string command = tovalix::sim::LengthFrame("IC0", "");
  const std::string answer = tovalix::sim::LengthFrame("IC0", data);
  const double wire_ms = Ms(tovalix::sim::kByteTimeAt19200 * static_cast<long>(answer.size()));

  PacedPad pad(answer);
  QuietOperator op;
  tovalix::serial::SerialLink link(op, tovalix::platform::SystemClock());
  link.SetFormat(tovalix::drivers::FindModel("IPP320")->format);
  link.Abre(pad.PortPath());
  const std::string hex = tovalix::serial::TextoAHex(command);

  std::vector<double> latency;
  std::vector<double> ratio;
  for (int i = 0; i < kExchanges; ++i) {
    const auto begin = Clock::now();
    if (link.EnviaRecibe(hex, "494330") != 1) {
      std::fprintf(stderr, "exchange %d failed\n", i);
      return 1;
    }
    const auto end = Clock::now();
    pad.WaitForUnits(static_cast<std::size_t>(2 * (i + 1)));  // the command and our ACK
    latency.push_back(Ms(end - pad.LastByteSentAt()));
    ratio.push_back(Ms(end - begin) / wire_ms);
  }

  pad.Silence();
  const auto wait_begin = Clock::now();
  const double cpu_begin = tovalix::platform::ProcessCpuSeconds();
  const std::int16_t silent = link.EnviaRecibe(hex, "494330");
  const double cpu = tovalix::platform::ProcessCpuSeconds() - cpu_begin;
  const double waited_ms = Ms(Clock::now() - wait_begin);
  link.Cierra();

  const double median = Percentile(latency, 0.5);
  const double p99 = Percentile(latency, 0.99);
  const double cpu_pct = 100.0 * cpu * 1000.0 / waited_ms;
  const double median_ratio = Percentile(ratio, 0.5);
  std::printf("answer frame: %zu bytes, %.3f ms on the wire at 19200 baud\n", answer.size(),
              wire_ms);
  std::printf(
      "last byte to EnviaRecibe return over %d exchanges: median %.3f ms, p99 %.3f ms, "
      "max %.3f ms\n",
      kExchanges, median, p99, *std::max_element(latency.begin(), latency.end()));
  std::printf("exchange / wire time: median %.4f, p99 %.4f\n", median_ratio,
              Percentile(ratio, 0.99));
  std::printf("silent wait: result %d after %.1f ms, CPU %.3f ms\n", silent, waited_ms,
              cpu * 1000.0);
  std::printf("serial: median_ms=%.3f p99_ms=%.3f wait_cpu_pct=%.3f ratio=%.4f\n", median, p99,
              cpu_pct, median_ratio);
  return 0;
}
