// The host side of an exchange benchmark that runs on every platform: N EnviaRecibe exchanges
// of an IC0 frame with serial_peer on `port`, then one 20-second EnviaRecibe that gets no
// answer. Prints "host: ratio=R wait_cpu_pct=C": the median of a whole exchange's time over
// its answer's time on the wire, and the processor time used during the silent wait.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_support.hpp"
#include "drivers/models.hpp"
#include "platform/clock.hpp"
#include "serial/generales.hpp"
#include "serial/serial_link.hpp"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "use: exchange_host PORT EXCHANGES\n");
    return 2;
  }
  using Clock = std::chrono::steady_clock;
  using tovalix::bench::Ms;
  const int exchanges = std::atoi(argv[2]);
  // STX "IC0" 00 00 ETX LRC (over the body and ETX); the answer is 108 bytes: 56.25 ms at
  // 19200 baud, 10 bits a byte.
  const std::string body("IC0\0\0\x03", 6);
  const std::string command = tovalix::serial::TextoAHex(
      "\x02" + body + static_cast<char>(tovalix::serial::CalculaLRC(body)));
  constexpr double kWireMs = 108 * 10 * 1000.0 / 19200;

  tovalix::bench::QuietOperator op;
  tovalix::serial::SerialLink link(op, tovalix::platform::SystemClock());
  link.SetFormat(tovalix::drivers::FindModel("IPP320")->format);
  link.Abre(argv[1]);
  std::vector<double> ratio;
  for (int i = 0; i < exchanges; ++i) {
    const auto begin = Clock::now();
    if (link.EnviaRecibe(command, "494330") != 1) {
      std::fprintf(stderr, "exchange %d failed\n", i);
      return 1;
    }
    ratio.push_back(Ms(Clock::now() - begin) / kWireMs);
  }
  const auto wait_begin = Clock::now();
  const double cpu_begin = tovalix::platform::ProcessCpuSeconds();
  const std::int16_t silent = link.EnviaRecibe(command, "494330");
  const double cpu = tovalix::platform::ProcessCpuSeconds() - cpu_begin;
  const double waited_ms = Ms(Clock::now() - wait_begin);
  link.Cierra();
  std::printf("host: ratio=%.4f wait_cpu_pct=%.3f silent_result=%d waited_ms=%.0f\n",
              tovalix::bench::Percentile(ratio, 0.5), 100.0 * cpu * 1000.0 / waited_ms, silent,
              waited_ms);
  return 0;
}
