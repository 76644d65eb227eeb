// Whole simulated sales on the system clock, one model at a time, against what they cannot
// be quicker than: the bytes both ways on a 19200-baud line (the simulated PIN pad paces its
// own output; the host's writes are counted at the same speed), the pauses the flow asks its
// clock for, and the gateway's own round trip (measured here with the same client). Then the
// same sale through a relay that hands the PIN pad's bytes over once a second, as the original
// one-second reader timer collected them, so the gain is a ratio of this run.
//
//   bench_sales [sales per model]       prints a Markdown table and a summary line per model
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <tovalix/operator.hpp>

#include "drivers/ingenico/sale.hpp"
#include "drivers/optimum/sale.hpp"
#include "drivers/vx810/sale.hpp"
#include "gateway/pin_pad.hpp"
#include "gateway/web_transaction.hpp"
#include "platform/clock.hpp"
#include "serial/serial_link.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "sim/ingenico/ingenico_simulator.hpp"
#include "sim/optimum/optimum_pinpad.hpp"
#include "sim/pinpad/pty_pair.hpp"
#include "sim/vx810/vx810_simulator.hpp"

#include "bench_support.hpp"

namespace {

using namespace std::chrono_literals;
using namespace tovalix;
using namespace tovalix::bench;

// The system clock, adding up what the flow sleeps for (its pauses).
class CountingClock final : public platform::Clock {
 public:
  double Now() const override { return platform::SystemClock().Now(); }
  void SleepFor(double seconds) const override {
    if (seconds > 0) slept_ += seconds;
    platform::SystemClock().SleepFor(seconds);
  }
  int RealMilliseconds(double seconds) const override {
    return platform::SystemClock().RealMilliseconds(seconds);
  }
  double Slept() const { return slept_; }

 private:
  mutable double slept_ = 0;
};

// Sits between the host and the simulated PIN pad: the host's bytes go through at once, the
// PIN pad's are held and handed over once every `tick`, like a reader timer of that period.
class TickRelay {
 public:
  TickRelay(const std::string& device_path, std::chrono::milliseconds tick) : tick_(tick) {
    device_ = ::open(device_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios raw{};
    if (device_ >= 0 && ::tcgetattr(device_, &raw) == 0) {
      ::cfmakeraw(&raw);
      ::tcsetattr(device_, TCSANOW, &raw);
    }
    thread_ = std::thread([this] { Run(); });
  }
  ~TickRelay() {
    stop_ = true;
    thread_.join();
    if (device_ >= 0) ::close(device_);
  }
  const std::string& PortPath() const { return front_.slave_path(); }

 private:
  void Run() {
    std::string held;
    auto next_tick = Steady::now() + tick_;
    char chunk[512];
    while (!stop_) {
      pollfd fds[2] = {{front_.master(), POLLIN, 0}, {device_, POLLIN, 0}};
      ::poll(fds, 2, 5);
      if ((fds[0].revents & POLLIN) != 0) {
        const ssize_t n = ::read(front_.master(), chunk, sizeof chunk);
        if (n > 0) Write(device_, std::string_view(chunk, static_cast<std::size_t>(n)));
      }
      if ((fds[1].revents & POLLIN) != 0) {
        const ssize_t n = ::read(device_, chunk, sizeof chunk);
        if (n > 0) held.append(chunk, static_cast<std::size_t>(n));
      }
      if (Steady::now() >= next_tick) {
        next_tick += tick_;
        Write(front_.master(), held);
        held.clear();
      }
    }
  }
  static void Write(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd, bytes.data(), bytes.size());
      if (n > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(n));
      } else {
        pollfd out{fd, POLLOUT, 0};
        if (::poll(&out, 1, 100) <= 0) return;
      }
    }
  }

  sim::PtyPair front_;
  int device_ = -1;
  std::chrono::milliseconds tick_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

enum class Model { kIngenico3070, kIPP320, kVx810, kOptimum };
constexpr const char* kNames[] = {"Ingenico 3070", "Ingenico iPP320", "Vx810", "Optimum"};

struct SaleFigures {
  double wall = 0;      // seconds
  double wire_in = 0;   // seconds of the PIN pad's bytes at 19200 baud (paced for real)
  double wire_out = 0;  // seconds of the host's bytes at 19200 baud (a pty does not pace them)
  double pauses = 0;    // seconds the flow slept
  bool approved = false;
};

SaleFigures Sale(Model model, bool slow_reader) {
  QuietOperator op;
  CountingClock clock;
  serial::SerialLink link(op, clock);
  sim::GatewaySimulator gateway;
  settings::Parametros parametros;
  parametros.IdStore = "5";
  parametros.PTid = "4711";
  parametros.UrlGateway = gateway.Url();
  parametros.TimeOutCreditDebit = "10";
  drivers::SolicitudVenta solicitud;
  solicitud.ID_Store = 5;
  solicitud.Amount = Money::FromCentavos(12500);
  solicitud.Total = Money::FromCentavos(12500);
  solicitud.ID_Transaction = 77;
  solicitud.Operation_Type = 1;
  solicitud.TimeOut = "10";
  std::int16_t modo = 0;

  std::unique_ptr<sim::PinPadSimulator> pad;
  switch (model) {
    case Model::kIngenico3070:
    case Model::kIPP320: {
      const bool ipp = model == Model::kIPP320;
      auto ingenico = std::make_unique<sim::IngenicoSimulator>(
          ipp ? sim::IngenicoModel::kIPP320 : sim::IngenicoModel::kIngenico3070);
      ingenico->QueueReading(sim::CardReading::Chip("4000001234567899", "4912"));
      parametros.Serie = "SERIE-01";
      parametros.Tipo = ipp ? "IPP320" : "INGENICO3070";
      pad = std::move(ingenico);
      break;
    }
    case Model::kVx810: {
      auto vx810 = std::make_unique<sim::Vx810Simulator>();
      vx810->QueueChipSale();
      parametros.Serie = "801234567";
      parametros.Tipo = "Vx810";
      pad = std::move(vx810);
      break;
    }
    case Model::kOptimum: {
      auto optimum = std::make_unique<sim::OptimumPinPad>();
      optimum->Queue(sim::OptimumReading::Chip());
      parametros.Serie = std::string(sim::OptimumPinPad::kDefaultSerial);
      parametros.Tipo = "OPTIMUM";
      parametros.Descripcion = "ABARROTES LA PRUEBA";
      pad = std::move(optimum);
      break;
    }
  }
  pad->PaceEverything(true);
  std::unique_ptr<TickRelay> relay;
  if (slow_reader) relay = std::make_unique<TickRelay>(pad->PortPath(), 1000ms);
  const std::string puerto = relay ? relay->PortPath() : pad->PortPath();
  drivers::EntornoVenta entorno{link, parametros, puerto, modo, op, clock};

  const auto begin = Steady::now();
  Dictionary result;
  switch (model) {
    case Model::kIngenico3070:
      result = drivers::ingenico::VentaIngenico(entorno, solicitud,
                                                drivers::ingenico::Modelo::kIngenico3070);
      break;
    case Model::kIPP320:
      result =
          drivers::ingenico::VentaIngenico(entorno, solicitud, drivers::ingenico::Modelo::kIPP320);
      break;
    case Model::kVx810:
      result = drivers::vx810::VentaVx810(entorno, solicitud);
      break;
    case Model::kOptimum:
      result = drivers::optimum::VentaOptimum(entorno, solicitud);
      break;
  }
  SaleFigures figures;
  figures.wall = Seconds(Steady::now() - begin);
  const double byte_time = std::chrono::duration<double>(sim::kByteTimeAt19200).count();
  figures.wire_in = static_cast<double>(pad->BytesSent()) * byte_time;
  figures.wire_out = static_cast<double>(pad->ReceivedBytes().size()) * byte_time;
  figures.pauses = clock.Slept();
  figures.approved =
      result.Exists("Response_Message") && result.Item("Response_Message") == "APROBADA";
  return figures;
}

// The gateway's round trip for one approved sale through our client, median of `count`.
double GatewayRoundTrip(int count) {
  QuietOperator op;
  sim::GatewaySimulator gateway;
  const gateway::PinPad record = SampleSale();
  std::vector<double> times;
  for (int i = 0; i < count; ++i) {
    const auto begin = Steady::now();
    gateway::WebTransaction(record, gateway.Url(), 11, "10", op);
    times.push_back(Seconds(Steady::now() - begin));
  }
  return Median(times);
}

}  // namespace

int main(int argc, char** argv) {
  const int sales = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const double gateway = GatewayRoundTrip(20);
  std::printf(
      "| model | sale (median of %d) | PIN pad's bytes on the wire | flow's pauses | gateway | "
      "floor (sum) | sale / floor | host's bytes on the wire (not paced, not in the floor) | "
      "sale, 1-s reader | 1-s reader / ours |\n",
      sales);
  std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
  bool all_approved = true;
  for (const Model model : {Model::kIngenico3070, Model::kIPP320, Model::kVx810, Model::kOptimum}) {
    std::vector<double> wall, wire_in, wire_out, pauses;
    for (int i = 0; i < sales; ++i) {
      const SaleFigures f = Sale(model, false);
      all_approved = all_approved && f.approved;
      wall.push_back(f.wall);
      wire_in.push_back(f.wire_in);
      wire_out.push_back(f.wire_out);
      pauses.push_back(f.pauses);
    }
    const SaleFigures slow = Sale(model, true);
    all_approved = all_approved && slow.approved;
    const double floor = Median(wire_in) + Median(pauses) + gateway;
    std::printf(
        "| %s | %.3f s | %.3f s | %.3f s | %.4f s | %.3f s | %.3f | %.3f s | %.3f s | %.1f |\n",
        kNames[static_cast<int>(model)], Median(wall), Median(wire_in), Median(pauses), gateway,
        floor, Median(wall) / floor, Median(wire_out), slow.wall, slow.wall / Median(wall));
  }
  if (!all_approved) std::printf("\nnote: at least one sale was not approved\n");
  return all_approved ? 0 : 1;
}
