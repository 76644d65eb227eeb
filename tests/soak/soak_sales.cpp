// Fault soak: many card sales per PIN pad model against the simulators, each with one seeded
// random fault on the line (NAK, wrong LRC, garbage, split or paced frames, silence, hang-up
// mid-frame), at the gateway (status 500, a missing header, a time-out, a dropped connection)
// or of the Nurit 293's library. Every sale must end within its flow's deadlines with the keys
// of a known result in order, the port closed, no descriptor left open, no card data in the
// log, the journal or the messages, and be in doubt (ID_Tx "-4", in the journal) exactly when
// the gateway received it and answered unusably. Exits 0 only when every sale passed.
//
//   soak_sales [--sales N] [--faulty F] [--seed S]
//
// With --faulty F each model goes on past its sales until F of them carried a fault.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "drivers/ingenico/exchange.hpp"
#include "drivers/ingenico/sale.hpp"
#include "drivers/nurit293/sale.hpp"
#include "drivers/optimum/exchange.hpp"
#include "drivers/optimum/sale.hpp"
#include "drivers/vx810/sale.hpp"
#include "gateway/sale_journal.hpp"
#include "serial/serial_link.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "sim/ingenico/ingenico_simulator.hpp"
#include "sim/optimum/optimum_pinpad.hpp"
#include "sim/vx810/vx810_simulator.hpp"
#include "support/dictionary_text.hpp"
#include "support/nurit293_library.hpp"
#include "support/sale_layouts.hpp"
#include "support/terminal_fixture.hpp"

namespace tovalix::soak {
namespace {

using namespace std::chrono_literals;
using serial::SerialLink;
using testing::Keys;

constexpr double kSpeedup = 50;
constexpr int kGatewayTimeOut = 1;  // seconds, real: the HTTP client does not use the clock
// The gateway's real-time time-out and the flow's pauses, on the fast clock.
constexpr double kGatewayAllowance = (kGatewayTimeOut + 3) * kSpeedup;

// Made-up cards, one set per model; none of these may ever show in a log or a message.
constexpr const char* kIngenicoPan = "4000001234567899";
constexpr const char* kVx810Pan = "4152000011112222";
constexpr const char* kVx810Track2 = "4152000011112222=31121010000000000000";
constexpr const char* kVx810Track1 = "B4152000011112222^PRUEBA/TARJETA^31121010000000000000";
constexpr const char* kOptimumPan = "4152000000000016";
constexpr const char* kNuritPan = "4000000000000002";
constexpr const char* kNuritTrack2 = "4000000000000002=49122010000000000000";
constexpr const char* kNuritTrack1 = "B4000000000000002^PRUEBA/TOVALIX^4912201000000000";
constexpr const char* kNuritEmv = "8407A00000000310109F26081122334455667788";

const std::vector<std::string> kPadFaults = {"nak",   "wrong_lrc", "garbage", "split",
                                             "paced", "silence",   "hang_up"};
const std::vector<std::string> kLibraryFaults = {"library_failure", "library_failure"};
const std::vector<std::string> kGatewayFaults = {"gateway_500", "missing_header", "time_out",
                                                 "dropped_connection"};
const std::vector<std::string> kNuritFunctions = {
    "VB_prepareDevice", "VB_startTransaction", "VB_readCardEx",   "VB_notifyResult",
    "VB_displayText",   "VB_endTransaction",   "VB_releaseDevice"};

enum class Model { kIngenico3070, kIPP320, kVx810, kOptimum, kNurit293 };

struct ModelInfo {
  Model model;
  const char* name;
  std::vector<Keys> layouts;  // the results a sale may give besides the gateway's two
  double bound;               // fast-clock seconds a sale may take at most
};

std::vector<ModelInfo> Models() {
  // The Nurit 293 starts with the gateway's pre-filled values from ID_Store on, then the chip
  // values, Num_Sec among the first or last.
  const Keys& filled = testing::kGatewayDefaultKeys;
  Keys nurit_a(filled.begin() + 3, filled.end() - 1);
  nurit_a.insert(nurit_a.end(), {"EMV_Tags", "ARQC", "AID", "Num_Sec"});
  Keys nurit_b(filled.begin() + 3, filled.end());
  nurit_b.insert(nurit_b.end(), {"EMV_Tags", "ARQC", "AID"});
  // Ingenico: DSP, up to three IC0, IC1, RMV, DSP, each possibly written again after a NAK.
  const double ingenico = 12 * drivers::ingenico::kPlazoTeclado + 10 + kGatewayAllowance;
  // Vx810: ENQ, I02, 72, C23, C30, C31, C34, Z2 and the idle sequence again, with one pause.
  const double vx810 = 16 * SerialLink::kPlazoRecibe + 5 + kGatewayAllowance;
  // Optimum: card request, chip result, displays and the receipt's print texts.
  const double optimum = 10 * drivers::optimum::kPlazoRecibeOptimum + 10 + kGatewayAllowance;
  // Nurit 293: no serial deadlines of ours, only the flow's pauses of 3 and 2 seconds.
  return {
      {Model::kIngenico3070, "Ingenico 3070", {testing::kIngenicoFirstKeys}, ingenico},
      {Model::kIPP320, "Ingenico iPP320", {testing::kIngenicoFirstKeys}, ingenico},
      {Model::kVx810, "Vx810", {testing::kVerifoneFirstKeys}, vx810},
      {Model::kOptimum, "Optimum", {testing::kVerifoneFirstKeys}, optimum},
      {Model::kNurit293, "Nurit 293", {nurit_a, nurit_b}, 20 + kGatewayAllowance},
  };
}

// Card data in a text: one of the made-up card numbers, or anything shaped like a track.
bool HoldsCardData(const std::string& text) {
  for (const char* pan : {kIngenicoPan, kVx810Pan, kOptimumPan, kNuritPan}) {
    if (text.find(pan) != std::string::npos) return true;
  }
  static const std::regex track(R"(\d{13,19}[=D]\d{4}|[B%]\d{13,19}\^)");
  return std::regex_search(text, track);
}

std::size_t OpenDescriptors() {
  const std::filesystem::directory_iterator fds("/proc/self/fd");
  return static_cast<std::size_t>(std::distance(begin(fds), end(fds)));
}

struct Counts {
  std::size_t sales = 0, faulty = 0, approved = 0;
  double slowest = 0;  // fast-clock seconds
};

struct Soak {
  std::mt19937 random;
  const testing::SimulatedNurit293& nurit;
  std::map<std::string, std::size_t> faults;  // by kind, when they happened
  std::size_t failures = 0;

  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
  template <typename T>
  const T& Pick(const std::vector<T>& from) {
    return from[static_cast<std::size_t>(Between(0, static_cast<int>(from.size()) - 1))];
  }
  sim::LineFault PadFault(const std::string& kind) {
    using Kind = sim::LineFault::Kind;
    sim::LineFault fault;
    if (kind == "nak") fault.kind = Kind::kNak;
    if (kind == "wrong_lrc") fault.kind = Kind::kWrongLrc;
    if (kind == "silence") fault.kind = Kind::kSilence;
    if (kind == "garbage") fault.how.WithGarbage("\x13\xff\x02Z", Between(0, 1) ? "\x03q" : "");
    if (kind == "split") {
      fault.how.SplitAt({1, static_cast<std::size_t>(Between(2, 6)), 9},
                        std::chrono::microseconds(Between(100, 20000)));
    }
    if (kind == "paced") fault.how.Paced();
    if (kind == "hang_up") fault.how.HangUpAfter(static_cast<std::size_t>(Between(0, 12)));
    return fault;
  }
  void Sale(const ModelInfo& info, std::size_t number, Counts& counts);
};

void Soak::Sale(const ModelInfo& info, std::size_t number, Counts& counts) {
  // One fault per sale, or none one time in twelve.
  std::vector<std::string> kinds = kGatewayFaults;
  const auto& own = info.model == Model::kNurit293 ? kLibraryFaults : kPadFaults;
  kinds.insert(kinds.end(), own.begin(), own.end());
  kinds.push_back("none");
  const std::string fault = Pick(kinds);
  const bool gateway_fault = std::count(kGatewayFaults.begin(), kGatewayFaults.end(), fault) > 0;
  const bool pad_fault = std::count(kPadFaults.begin(), kPadFaults.end(), fault) > 0;
  const bool chip = Between(0, 1) == 1;
  const auto send_number = static_cast<std::size_t>(Between(0, 13));
  const auto header = static_cast<std::size_t>(Between(0, 99));

  const std::size_t descriptors_before = OpenDescriptors();
  std::vector<std::string> problems;
  const auto check = [&problems](bool sound, const std::string& what) {
    if (!sound) problems.push_back(what);
  };
  bool fired = fault == "library_failure";
  Dictionary result;
  double elapsed = 0;
  {
    // The log and the sale journal (beside the settings file) go to a folder of this sale.
    const testing::TerminalFixture terminal;
    testing::RecordingOperator op;
    platform::FastClock clock{kSpeedup};
    SerialLink link{op, clock};
    sim::GatewaySimulator gateway;
    if (gateway_fault) {
      gateway.SetScript([fault, header](const sim::GatewayRequest&, sim::GatewayAnswer& answer) {
        if (fault == "gateway_500") answer.status = 500;
        if (fault == "missing_header" && !answer.headers.empty()) {
          answer.Remove(answer.headers[header % answer.headers.size()].first);
        }
        if (fault == "time_out") answer.delay = 1500ms;
        if (fault == "dropped_connection") answer.drop = true;
      });
    }

    drivers::SolicitudVenta solicitud;
    solicitud.ID_Store = 5;
    solicitud.Amount = Money::FromCentavos((100 + number % 50) * 100);
    solicitud.Total = solicitud.Amount;
    solicitud.ID_Transaction = static_cast<std::int32_t>(1000 + number);
    solicitud.Operation_Type = 1;
    solicitud.ID_Client_Tx = 11;
    solicitud.ID_Server_Tx = 22;
    solicitud.TimeOut = std::to_string(kGatewayTimeOut);
    settings::Parametros parametros;
    parametros.IdStore = "5";
    parametros.PTid = "4711";
    parametros.UrlGateway = gateway.Url();
    parametros.TimeOutCreditDebit = solicitud.TimeOut;
    std::int16_t modo = 0;
    std::string puerto = "COM3";
    drivers::EntornoVenta entorno{link, parametros, puerto, modo, op, clock};
    std::unique_ptr<sim::PinPadSimulator> pad;
    const auto use = [&](std::unique_ptr<sim::PinPadSimulator> simulator, std::string serie,
                         std::string tipo) {
      pad = std::move(simulator);
      if (pad_fault) pad->AddLineFault(send_number, PadFault(fault));
      puerto = pad->PortPath();
      parametros.Serie = std::move(serie);
      parametros.Tipo = std::move(tipo);
    };

    const double start = clock.Now();
    switch (info.model) {
      case Model::kIngenico3070:
      case Model::kIPP320: {
        const bool ipp = info.model == Model::kIPP320;
        auto ingenico = std::make_unique<sim::IngenicoSimulator>(
            ipp ? sim::IngenicoModel::kIPP320 : sim::IngenicoModel::kIngenico3070);
        ingenico->QueueReading(chip ? sim::CardReading::Chip(kIngenicoPan, "4912")
                                    : sim::CardReading::Stripe(kIngenicoPan, "4912"));
        use(std::move(ingenico), "SERIE-01", ipp ? "IPP320" : "INGENICO3070");
        result = drivers::ingenico::VentaIngenico(
            entorno, solicitud,
            ipp ? drivers::ingenico::Modelo::kIPP320 : drivers::ingenico::Modelo::kIngenico3070);
        break;
      }
      case Model::kVx810: {
        auto vx810 = std::make_unique<sim::Vx810Simulator>();
        if (chip) {
          vx810->QueueChipSale();
        } else {
          vx810->QueueStripeSale(kVx810Track2, kVx810Track1);
        }
        use(std::move(vx810), "801234567", "Vx810");
        result = drivers::vx810::VentaVx810(entorno, solicitud);
        break;
      }
      case Model::kOptimum: {
        auto optimum = std::make_unique<sim::OptimumPinPad>();
        optimum->Queue(chip ? sim::OptimumReading::Chip() : sim::OptimumReading::Stripe());
        use(std::move(optimum), std::string(sim::OptimumPinPad::kDefaultSerial), "OPTIMUM");
        parametros.Descripcion = "ABARROTES LA PRUEBA";
        result = drivers::optimum::VentaOptimum(entorno, solicitud);
        break;
      }
      case Model::kNurit293: {
        nurit.Reset();
        nurit.AddCard(chip ? "Chip" : "MagStripe", kNuritTrack2, kNuritTrack1,
                      chip ? kNuritEmv : nullptr);
        if (fired) {
          nurit.Fail(Pick(kNuritFunctions).c_str(), -1, Between(1, 60), "Falla simulada");
        }
        testing::ScopedEnv library{"TOVALIX_NURIT293_LIB", nurit.path};
        parametros.Serie = "SER-01";
        result = drivers::nurit293::VentaNurit293(entorno, solicitud);
        check(nurit.Prepared() == 0, "the Nurit 293 was left prepared");
        break;
      }
    }
    elapsed = clock.Now() - start;
    check(!link.EstaAbierto(), "the port was left open");
    check(!link.LectorActivo(), "the reader was left on");
    if (pad_fault) fired = pad->LineFaultsFired() > 0;
    if (gateway_fault) fired = gateway.RequestCount() > 0;
    const bool reached = gateway.RequestCount() > 0;
    gateway.Stop();
    pad.reset();

    const bool in_doubt = result.Item("ID_Tx") == "-4";
    // The gateway got the request and gave no usable answer: the sale may have been charged.
    check(!gateway_fault || !fired || in_doubt, "a request the gateway received is not in doubt");
    const std::string journal = testing::ReadFile(terminal.folder() / "journal.jsonl");
    check(!reached || journal.find("\"state\":\"outcome\"") != std::string::npos,
          "a request the gateway received has no outcome in the journal");
    check(gateway::SalesInDoubt().size() == (in_doubt ? 1u : 0u),
          "the journal's sales in doubt are not this sale's");
    check(!HoldsCardData(journal), "card data in the journal");
    check(!HoldsCardData(terminal.LogText()), "card data in tovalix.log");
    for (const auto& message : op.Texts()) {
      check(!HoldsCardData(message), "card data in an operator message");
    }
  }
  check(OpenDescriptors() == descriptors_before,
        "descriptors left open: " + std::to_string(OpenDescriptors() - descriptors_before));
  check(elapsed <= info.bound,
        "took " + std::to_string(elapsed) + " s, more than " + std::to_string(info.bound));
  const Keys keys = result.Keys();
  check(keys == testing::kGatewayAnswerKeys || keys == testing::kGatewayDefaultKeys ||
            std::count(info.layouts.begin(), info.layouts.end(), keys) > 0,
        "result keys not in a known order: " + testing::Text(result, false));

  ++counts.sales;
  counts.faulty += fired ? 1 : 0;
  counts.approved += result.Item("Response_Message") == "APROBADA" ? 1 : 0;
  counts.slowest = std::max(counts.slowest, elapsed);
  faults[fault] += fired ? 1 : 0;
  failures += problems.size();
  for (const auto& problem : problems) {
    std::cout << "FAILURE " << info.name << " sale " << number << " (" << fault << "): " << problem
              << "\n";
  }
}

std::optional<unsigned long> Setting(int argc, char** argv, const std::string& flag) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (argv[i] == flag) return std::stoul(argv[i + 1]);
  }
  return std::nullopt;
}

int Run(int argc, char** argv) {
  const unsigned long sales = Setting(argc, argv, "--sales").value_or(20);
  const unsigned long faulty = Setting(argc, argv, "--faulty").value_or(0);
  const unsigned seed =
      static_cast<unsigned>(Setting(argc, argv, "--seed").value_or(std::random_device{}()));
  std::cout << "soak: seed " << seed << " (rerun with --seed " << seed << ")\n" << std::flush;
  const testing::SimulatedNurit293 nurit;
  Soak soak{std::mt19937(seed), nurit, {}, 0};
  for (const ModelInfo& info : Models()) {
    Counts counts;
    // The cap keeps a soak whose faults stopped firing from running for ever.
    const unsigned long cap = std::max(sales, 4 * faulty);
    for (unsigned long n = 0; n < cap && (n < sales || counts.faulty < faulty); ++n) {
      soak.Sale(info, n, counts);
    }
    soak.failures += counts.faulty < faulty ? 1 : 0;
    std::printf(
        "%s: %zu sales, %zu with a fault (%lu wanted), %zu approved, slowest %.1f s of %.1f\n",
        info.name, counts.sales, counts.faulty, faulty, counts.approved, counts.slowest,
        info.bound);
  }
  std::cout << "faults that happened:";
  for (const auto& [kind, count] : soak.faults) std::cout << " " << kind << " " << count;
  std::cout << "\nfailures found: " << soak.failures << "\n";
  return soak.failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace tovalix::soak

int main(int argc, char** argv) {
  try {
    return tovalix::soak::Run(argc, argv);
  } catch (const std::exception& e) {
    std::cout << "soak stopped: " << e.what() << "\n";
    return 1;
  }
}
