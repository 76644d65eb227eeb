// Fault soak: many card sales per PIN pad model against the simulators, each with one seeded
// random fault on the line (NAK, wrong LRC, garbage, split or paced frames, silence, hang-up
// mid-frame), at the gateway (status 500, a missing header, a time-out, a dropped connection)
// or, for the Nurit 293, a failure of its library. Every sale must come back within the
// deadlines of its flow, with all the keys of a known result in order, ID_Tx "-4" when the
// gateway received the request and answered unusably, the port closed, no
// file descriptor left open and no card data in tovalix.log or the operator's messages.
//
//   soak_sales [--sales N] [--faulty F] [--seed S]
//   (or TOVALIX_SOAK_SALES / TOVALIX_SOAK_FAULTY / TOVALIX_SOAK_SEED)
//
// Exits 0 only when every sale passed every check. Card numbers here are made up.
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "common/number_text.hpp"
#include "drivers/ingenico/exchange.hpp"
#include "drivers/ingenico/sale.hpp"
#include "drivers/nurit293/commands.hpp"
#include "drivers/optimum/exchange.hpp"
#include "drivers/optimum/sale.hpp"
#include "drivers/vx810/sale.hpp"
#include "serial/serial_link.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "sim/ingenico/ingenico_simulator.hpp"
#include "sim/nurit293_library/nurit293_sim.h"
#include "sim/optimum/optimum_pinpad.hpp"
#include "sim/vx810/vx810_simulator.hpp"
#include "support/sale_layouts.hpp"
#include "support/test_environment.hpp"

namespace tovalix::soak {
namespace {

using namespace std::chrono_literals;
using serial::SerialLink;

constexpr double kSpeedup = 50;
constexpr int kGatewayTimeOut = 1;  // seconds, real: the HTTP client does not use the clock
constexpr auto kGatewayTooLate = 1500ms;

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
const std::vector<std::string> kGatewayFaults = {"gateway_500", "missing_header", "time_out",
                                                 "dropped_connection"};
const std::vector<std::string> kCardSaleHeaders = {"id_store",
                                                   "truncated",
                                                   "amount",
                                                   "tip",
                                                   "total",
                                                   "id_transaction",
                                                   "id_tx",
                                                   "operation_type",
                                                   "authorization_number",
                                                   "pos_entry_mode",
                                                   "response_message",
                                                   "affiliation",
                                                   "opertype",
                                                   "cardtype",
                                                   "issuingbank",
                                                   "id_terminal",
                                                   "Num_Sec"};
const std::vector<std::string> kNuritFunctions = {
    "VB_prepareDevice", "VB_startTransaction", "VB_readCardEx",   "VB_notifyResult",
    "VB_displayText",   "VB_endTransaction",   "VB_releaseDevice"};

using testing::Keys;
using testing::kGatewayAnswerKeys;
using testing::kGatewayDefaultKeys;

// The Nurit 293 orders its first values its own way.
Keys FirstKeys(std::initializer_list<const char*> tail) {
  Keys keys = {"ID_Store",
               "Truncated",
               "Amount",
               "Tip",
               "Total",
               "ID_Transaction",
               "ID_Tx",
               "Operation_Type",
               "Authorization_Number",
               "Response_Message"};
  keys.insert(keys.end(), tail.begin(), tail.end());
  return keys;
}

// Open descriptors of this process.
std::size_t OpenDescriptors() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

std::string BuildDir() {
  const char* dir = std::getenv("TOVALIX_BUILD_DIR");
  return dir != nullptr ? dir : ".";
}

// The script API of the simulated Nurit 293 library, through the object the loader opens.
class NuritScript {
 public:
  explicit NuritScript(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) return;
    reset_ = reinterpret_cast<decltype(reset_)>(dlsym(handle_, "TovalixSimNurit293_Reset"));
    add_card_ = reinterpret_cast<decltype(add_card_)>(dlsym(handle_, "TovalixSimNurit293_AddCard"));
    fail_ = reinterpret_cast<decltype(fail_)>(dlsym(handle_, "TovalixSimNurit293_Fail"));
    prepared_ =
        reinterpret_cast<decltype(prepared_)>(dlsym(handle_, "TovalixSimNurit293_Prepared"));
  }
  ~NuritScript() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  NuritScript(const NuritScript&) = delete;
  NuritScript& operator=(const NuritScript&) = delete;
  bool ok() const {
    return reset_ != nullptr && add_card_ != nullptr && fail_ != nullptr && prepared_ != nullptr;
  }

  decltype(&TovalixSimNurit293_Reset) reset_ = nullptr;
  decltype(&TovalixSimNurit293_AddCard) add_card_ = nullptr;
  decltype(&TovalixSimNurit293_Fail) fail_ = nullptr;
  decltype(&TovalixSimNurit293_Prepared) prepared_ = nullptr;

 private:
  void* handle_ = nullptr;
};

enum class Model { kIngenico3070, kIPP320, kVx810, kOptimum, kNurit293 };

struct ModelInfo {
  Model model;
  const char* name;
  std::vector<Keys> layouts;  // the results a sale may give
  double bound;               // fast-clock seconds a sale may take at most
};

// The longest a sale may take: its exchanges each at their deadline, the pauses of the flow,
// and the gateway's real-time time-out (the fast clock runs kSpeedup times faster than it).
constexpr double GatewayAllowance() {
  return (kGatewayTimeOut + 3) * kSpeedup;
}

std::vector<ModelInfo> Models() {
  const Keys& ingenico = testing::kIngenicoFirstKeys;
  const Keys& verifone = testing::kVerifoneFirstKeys;
  const Keys nurit_a = FirstKeys({"Affiliation", "OperType", "CardType", "IssuingBank",
                                  "ID_Terminal", "EMV_Tags", "ARQC", "AID", "Num_Sec"});
  const Keys nurit_b = FirstKeys({"Affiliation", "OperType", "CardType", "IssuingBank",
                                  "ID_Terminal", "Num_Sec", "EMV_Tags", "ARQC", "AID"});
  // Ingenico: DSP, up to three IC0, IC1, RMV, DSP, each possibly written again after a NAK.
  const double ingenico_bound = 12 * drivers::ingenico::kPlazoTeclado + 10 + GatewayAllowance();
  // Vx810: ENQ, I02, 72, C23, C30, C31, C34, Z2 and the idle sequence again, with one pause.
  const double vx810_bound = 16 * SerialLink::kPlazoRecibe + 5 + GatewayAllowance();
  // Optimum: card request, chip result, displays and the receipt's print texts.
  const double optimum_bound = 10 * drivers::optimum::kPlazoRecibeOptimum + 10 + GatewayAllowance();
  // Nurit 293: no serial deadlines of ours, only the flow's pauses of 3 and 2 seconds.
  const double nurit_bound = 20 + GatewayAllowance();
  return {
      {Model::kIngenico3070,
       "Ingenico 3070",
       {ingenico, kGatewayAnswerKeys, kGatewayDefaultKeys},
       ingenico_bound},
      {Model::kIPP320,
       "Ingenico iPP320",
       {ingenico, kGatewayAnswerKeys, kGatewayDefaultKeys},
       ingenico_bound},
      {Model::kVx810, "Vx810", {verifone, kGatewayAnswerKeys, kGatewayDefaultKeys}, vx810_bound},
      {Model::kOptimum,
       "Optimum",
       {verifone, kGatewayAnswerKeys, kGatewayDefaultKeys},
       optimum_bound},
      {Model::kNurit293,
       "Nurit 293",
       {nurit_a, nurit_b, kGatewayAnswerKeys, kGatewayDefaultKeys},
       nurit_bound},
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

struct Totals {
  std::map<std::string, std::size_t> sales;   // by model
  std::map<std::string, std::size_t> faults;  // by kind, counted only when they happened
  std::map<std::string, std::size_t> approved;
  std::map<std::string, std::size_t> faulty;  // by model, sales in which a fault happened
  std::map<std::string, double> slowest;      // fast-clock seconds, by model
  std::size_t failures = 0;
};

class Soak {
 public:
  Soak(unsigned seed, Totals& totals, NuritScript& nurit, std::string nurit_path)
      : random_(seed), totals_(totals), nurit_(nurit), nurit_path_(std::move(nurit_path)) {}

  void Sale(const ModelInfo& info, std::size_t number);

 private:
  template <typename T>
  const T& Pick(const std::vector<T>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random_)];
  }
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  sim::LineFault PadFault(const std::string& kind);
  void ArmGateway(sim::GatewaySimulator& gateway, const std::string& kind);
  void Fail(const ModelInfo& info, std::size_t number, const std::string& fault,
            const std::string& what);

  std::mt19937 random_;
  Totals& totals_;
  NuritScript& nurit_;
  std::string nurit_path_;
};

sim::LineFault Soak::PadFault(const std::string& kind) {
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

void Soak::ArmGateway(sim::GatewaySimulator& gateway, const std::string& kind) {
  const std::string header = Pick(kCardSaleHeaders);
  gateway.SetScript([kind, header](const sim::GatewayRequest&, sim::GatewayAnswer& answer) {
    if (kind == "gateway_500") answer.status = 500;
    if (kind == "missing_header") answer.Remove(header);
    if (kind == "time_out") answer.delay = kGatewayTooLate;
    if (kind == "dropped_connection") answer.drop = true;
  });
}

void Soak::Fail(const ModelInfo& info, std::size_t number, const std::string& fault,
                const std::string& what) {
  ++totals_.failures;
  std::cout << "FAILURE " << info.name << " sale " << number << " (" << fault << "): " << what
            << "\n";
}

void Soak::Sale(const ModelInfo& info, std::size_t number) {
  const bool nurit = info.model == Model::kNurit293;
  // One fault per sale, or none one time in twelve.
  std::vector<std::string> kinds = kGatewayFaults;
  if (nurit) {
    kinds.push_back("library_failure");
    kinds.push_back("library_failure");
  } else {
    kinds.insert(kinds.end(), kPadFaults.begin(), kPadFaults.end());
  }
  kinds.push_back("none");
  const std::string fault = Pick(kinds);
  const bool gateway_fault =
      std::find(kGatewayFaults.begin(), kGatewayFaults.end(), fault) != kGatewayFaults.end();
  const bool chip = Between(0, 1) == 1;

  const std::size_t descriptors_before = OpenDescriptors();
  bool fired = false;
  bool link_open = false;
  bool reader_on = false;
  bool nurit_prepared = false;
  std::string log;
  std::vector<std::string> messages;
  Dictionary result;
  double elapsed = 0;
  {
    testing::ScratchFolder logs;
    testing::ScopedEnv log_dir{"TOVALIX_LOG_DIR", logs.path().string()};
    testing::RecordingOperator op;
    platform::FastClock clock{kSpeedup};
    SerialLink link{op, clock};
    sim::GatewaySimulator gateway;
    if (gateway_fault) ArmGateway(gateway, fault);

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

    std::unique_ptr<sim::PinPadSimulator> pad;
    const std::size_t send_number = static_cast<std::size_t>(Between(0, 13));
    const double start = clock.Now();
    switch (info.model) {
      case Model::kIngenico3070:
      case Model::kIPP320: {
        const bool ipp = info.model == Model::kIPP320;
        auto ingenico = std::make_unique<sim::IngenicoSimulator>(
            ipp ? sim::IngenicoModel::kIPP320 : sim::IngenicoModel::kIngenico3070);
        ingenico->QueueReading(chip ? sim::CardReading::Chip(kIngenicoPan, "4912")
                                    : sim::CardReading::Stripe(kIngenicoPan, "4912"));
        parametros.Serie = "SERIE-01";
        parametros.Tipo = ipp ? "IPP320" : "INGENICO3070";
        pad = std::move(ingenico);
        break;
      }
      case Model::kVx810: {
        auto vx810 = std::make_unique<sim::Vx810Simulator>();
        if (chip) {
          vx810->QueueChipSale();
        } else {
          vx810->QueueStripeSale(kVx810Track2, kVx810Track1);
        }
        parametros.Serie = "801234567";
        parametros.Tipo = "Vx810";
        pad = std::move(vx810);
        break;
      }
      case Model::kOptimum: {
        auto optimum = std::make_unique<sim::OptimumPinPad>();
        optimum->Queue(chip ? sim::OptimumReading::Chip() : sim::OptimumReading::Stripe());
        parametros.Serie = std::string(sim::OptimumPinPad::kDefaultSerial);
        parametros.Tipo = "OPTIMUM";
        parametros.Descripcion = "ABARROTES LA PRUEBA";
        pad = std::move(optimum);
        break;
      }
      case Model::kNurit293:
        break;
    }
    if (pad != nullptr && !gateway_fault && fault != "none") {
      pad->AddLineFault(send_number, PadFault(fault));
    }
    const std::string puerto = pad != nullptr ? pad->PortPath() : "COM3";
    drivers::EntornoVenta entorno{link, parametros, puerto, modo, op, clock};

    switch (info.model) {
      case Model::kIngenico3070:
      case Model::kIPP320:
        result = drivers::ingenico::VentaIngenico(entorno, solicitud,
                                                  info.model == Model::kIPP320
                                                      ? drivers::ingenico::Modelo::kIPP320
                                                      : drivers::ingenico::Modelo::kIngenico3070);
        break;
      case Model::kVx810:
        result = drivers::vx810::VentaVx810(entorno, solicitud);
        break;
      case Model::kOptimum:
        result = drivers::optimum::VentaOptimum(entorno, solicitud);
        break;
      case Model::kNurit293: {
        nurit_.reset_();
        if (chip) {
          nurit_.add_card_("Chip", kNuritTrack2, kNuritTrack1, kNuritEmv);
        } else {
          nurit_.add_card_("MagStripe", kNuritTrack2, kNuritTrack1, nullptr);
        }
        if (fault == "library_failure") {
          nurit_.fail_(Pick(kNuritFunctions).c_str(), -1, Between(1, 60), "Falla simulada");
          fired = true;
        }
        testing::ScopedEnv library{"TOVALIX_NURIT293_LIB", nurit_path_};
        Dictionary entrada;
        for (const auto& [key, value] : std::vector<std::pair<const char*, std::string>>{
                 {"ID_Store", "5"},
                 {"Amount", solicitud.Amount.Text()},
                 {"Tip", "0"},
                 {"Total", solicitud.Total.Text()},
                 {"ID_Transaction", std::to_string(solicitud.ID_Transaction)},
                 {"Operation_Type", "1"},
                 {"Authorization_Number", ""},
                 {"Port", "COM3"},
                 {"Cvv2", ""},
                 {"FunctionType", "1"},
                 {"Serial", "SER-01"},
                 {"PTid", "4711"},
                 {"InitialDeferment", ""},
                 {"NumberOfPayments", ""},
                 {"PlanType", ""},
                 {"ID_Client_Tx", "11"},
                 {"ID_Server_Tx", "22"}}) {
          entrada.Add(key, value);
        }
        result =
            drivers::nurit293::UnicaBancaria(entrada, gateway.Url(), solicitud.TimeOut, op, clock);
        nurit_prepared = nurit_.prepared_() != 0;
        break;
      }
    }
    elapsed = clock.Now() - start;
    link_open = link.EstaAbierto();
    reader_on = link.LectorActivo();
    if (pad != nullptr && !gateway_fault && fault != "none") fired = pad->LineFaultsFired() > 0;
    if (gateway_fault) fired = gateway.RequestCount() > 0;
    gateway.Stop();
    pad.reset();
    log = testing::ReadFile(logs / "tovalix.log");
    messages = op.Texts();
  }
  const std::size_t descriptors_after = OpenDescriptors();

  ++totals_.sales[info.name];
  if (fired) {
    ++totals_.faults[fault];
    ++totals_.faulty[info.name];
  }
  if (result.Exists("Response_Message") && result.Item("Response_Message") == "APROBADA") {
    ++totals_.approved[info.name];
  }
  totals_.slowest[info.name] = std::max(totals_.slowest[info.name], elapsed);

  if (elapsed > info.bound) {
    Fail(info, number, fault,
         "took " + std::to_string(elapsed) + " s, more than " + std::to_string(info.bound));
  }
  const Keys keys = result.Keys();
  if (std::find(info.layouts.begin(), info.layouts.end(), keys) == info.layouts.end()) {
    std::string listed;
    for (const auto& key : keys) listed += key + " ";
    Fail(info, number, fault, "result keys not in a known order: " + listed);
  }
  // The gateway got the request and gave no usable answer: the sale may have been charged.
  if (gateway_fault && fired && !(result.Exists("ID_Tx") && result.Item("ID_Tx") == "-4")) {
    Fail(info, number, fault, "a request the gateway received is not in doubt (ID_Tx -4)");
  }
  if (link_open) Fail(info, number, fault, "the port was left open");
  if (reader_on) Fail(info, number, fault, "the reader was left on");
  if (nurit_prepared) Fail(info, number, fault, "the Nurit 293 was left prepared");
  if (descriptors_after != descriptors_before) {
    Fail(info, number, fault,
         "descriptors " + std::to_string(descriptors_before) + " before, " +
             std::to_string(descriptors_after) + " after");
  }
  if (HoldsCardData(log)) Fail(info, number, fault, "card data in tovalix.log");
  for (const auto& message : messages) {
    if (HoldsCardData(message)) Fail(info, number, fault, "card data in an operator message");
  }
}

// A count from "--name N" on the command line or else the environment variable.
std::optional<unsigned long> Setting(int argc, char** argv, const std::string& flag,
                                     const char* variable) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (argv[i] == flag) return std::stoul(argv[i + 1]);
  }
  if (const char* value = std::getenv(variable); value != nullptr && *value != '\0') {
    return std::stoul(value);
  }
  return std::nullopt;
}

int Run(int argc, char** argv) {
  const unsigned long sales = Setting(argc, argv, "--sales", "TOVALIX_SOAK_SALES").value_or(20);
  // With --faulty N each model goes on past its sales until N of them carried a fault.
  const unsigned long faulty = Setting(argc, argv, "--faulty", "TOVALIX_SOAK_FAULTY").value_or(0);
  const unsigned seed = static_cast<unsigned>(
      Setting(argc, argv, "--seed", "TOVALIX_SOAK_SEED").value_or(std::random_device{}()));
  std::cout << "soak: " << sales << " sales per model";
  if (faulty > 0) std::cout << " and at least " << faulty << " with a fault";
  std::cout << ", seed " << seed << " (rerun with the same options and --seed " << seed << ")\n"
            << std::flush;

  const std::string nurit_path = BuildDir() + "/lib/libtovalix_nurit293_sim.so";
  NuritScript nurit(nurit_path);
  if (!nurit.ok()) {
    std::cout << "simulated Nurit 293 library not found at " << nurit_path << "\n";
    return 1;
  }
  Totals totals;
  Soak soak(seed, totals, nurit, nurit_path);
  const auto models = Models();
  for (const ModelInfo& info : models) {
    // The cap keeps a soak whose faults stopped firing from running for ever.
    const unsigned long cap = std::max(sales, 4 * faulty);
    for (unsigned long n = 0; n < cap && (n < sales || totals.faulty[info.name] < faulty); ++n) {
      soak.Sale(info, n);
    }
    if (totals.faulty[info.name] < faulty) {
      std::cout << "FAILURE " << info.name << ": only " << totals.faulty[info.name]
                << " sales with a fault in " << cap << "\n";
      ++totals.failures;
    }
  }

  std::size_t all_sales = 0;
  std::size_t all_faults = 0;
  std::cout
      << "\nmodel             sales  with a fault  approved  slowest (fast s)  bound (fast s)\n";
  for (const ModelInfo& info : models) {
    all_sales += totals.sales[info.name];
    std::printf("%-16s %6zu %13zu %9zu %17.1f %15.1f\n", info.name, totals.sales[info.name],
                totals.faulty[info.name], totals.approved[info.name], totals.slowest[info.name],
                info.bound);
  }
  std::cout << "\nfaults injected by kind\n";
  for (const auto& [kind, count] : totals.faults) {
    all_faults += count;
    std::printf("  %-20s %6zu\n", kind.c_str(), count);
  }
  std::printf("\nsales %zu, faults injected %zu, failures found %zu\n", all_sales, all_faults,
              totals.failures);
  return totals.failures == 0 ? 0 : 1;
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
