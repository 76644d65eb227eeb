// The PIN pad side of bench_exchange_host, for hosts that cannot be in this process (a Windows
// build under wine): a pty that answers every frame with a 108-byte frame paced at 19200 baud,
// and measures, in its own clock, from its last byte to the host's ACK, which the host writes
// once it has judged the answer whole. It prints the pty's path, then, after the given number
// of answers, one line "peer: median_ms=M p99_ms=P" and stays silent until SIGTERM.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.hpp"
#include "sim/pinpad/pinpad_simulator.hpp"

namespace {

using tovalix::bench::Ms;
using tovalix::bench::Percentile;
using tovalix::sim::Delivery;

std::atomic<bool> stop{false};

class MeasuringPad final : public tovalix::sim::PinPadSimulator {
 public:
  MeasuringPad(std::string answer, std::size_t answers)
      : PinPadSimulator(tovalix::sim::LengthFraming), answer_(std::move(answer)), left_(answers) {
    Start();
  }
  ~MeasuringPad() override { Stop(); }

  std::vector<double> Latencies() {
    const std::lock_guard lock(mutex_);
    return latency_;
  }
  bool Done() const { return left_ == 0 && !waiting_ack_; }

 protected:
  void OnUnit(const tovalix::sim::Unit& unit) override {
    if (unit.bytes == "\x06" && waiting_ack_) {
      const std::lock_guard lock(mutex_);
      latency_.push_back(Ms(std::chrono::steady_clock::now() - LastByteSentAt()));
      waiting_ack_ = false;
    } else if (unit.is_frame() && left_ > 0) {
      --left_;
      Send(answer_, Delivery().Paced());
      waiting_ack_ = true;
    }
  }

 private:
  std::string answer_;
  std::atomic<std::size_t> left_;
  std::atomic<bool> waiting_ack_{false};
  std::mutex mutex_;
  std::vector<double> latency_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::size_t answers = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
  std::signal(SIGTERM, [](int) { stop = true; });
  std::signal(SIGINT, [](int) { stop = true; });
  std::string data;
  for (std::size_t i = 0; i < 100; ++i) data += static_cast<char>('A' + i % 26);
  MeasuringPad pad(tovalix::sim::LengthFrame("IC0", data), answers);
  std::printf("%s\n", pad.PortPath().c_str());
  std::fflush(stdout);
  bool reported = false;
  while (!stop) {
    if (!reported && pad.Done()) {
      const auto latency = pad.Latencies();
      std::printf("peer: median_ms=%.3f p99_ms=%.3f\n", Percentile(latency, 0.5),
                  Percentile(latency, 0.99));
      std::fflush(stdout);
      reported = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return 0;
}
