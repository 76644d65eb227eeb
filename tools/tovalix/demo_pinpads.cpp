#include "demo_pinpads.hpp"

#include <array>
#include <cstdlib>

#include "common/failure.hpp"
#include "platform/shared_library.hpp"
#include "sim/ingenico/ingenico_simulator.hpp"
#include "sim/optimum/optimum_pinpad.hpp"
#include "sim/vx810/vx810_simulator.hpp"

namespace tovalix::cli {
namespace {

// Made-up test cards: they never leave the demo.
constexpr const char* kChipPan = "4152000011112222";
constexpr const char* kStripePan = "5204160000000018";
constexpr const char* kExpiry = "3112";

const std::array<DemoModel, 5> kModels = {{
    {"ipp320", "IPP320", "\\device\\USBSER000"},
    {"ingenico3070", "INGENICO3070", "\\device\\slabser0"},
    {"vx810", "Vx810", "\\device\\USBSER000"},
    {"optimum", "OPTIMUM", "\\device\\Serial2"},
    {"nurit293", "NURIT293", "\\device\\slabser0"},
}};

class IngenicoPinPad final : public DemoPinPad {
 public:
  explicit IngenicoPinPad(sim::IngenicoModel model) : pad_(model) {}
  std::string PortPath() const override { return pad_.PortPath(); }
  void QueueChipCard() override { pad_.QueueChipCard(kChipPan, kExpiry); }
  void QueueStripeCard() override { pad_.QueueStripeCard(kStripePan, kExpiry); }

 private:
  sim::IngenicoSimulator pad_;
};

class Vx810PinPad final : public DemoPinPad {
 public:
  std::string PortPath() const override { return pad_.PortPath(); }
  void QueueChipCard() override { pad_.QueueChipSale(); }
  void QueueStripeCard() override {
    pad_.QueueStripeSale(std::string(kStripePan) + "=" + kExpiry + "1011234567",
                         std::string("B") + kStripePan + "^DEMO/TARJETA^" + kExpiry + "101");
  }

 protected:
  sim::Vx810Simulator pad_;
};

// The Nurit 293 reads cards through its vendor library; on the serial line it only answers
// the serial-number request, the same "06" exchange as the Vx810, with its own layout. The
// demo holds the simulated library open, so the readings it queues are the ones the driver's
// own load of the same library sees.
class NuritPinPad final : public DemoPinPad {
 public:
  NuritPinPad() {
    pad_.SetSerialAnswer("-293000000004711");
    if (const char* path = std::getenv("TOVALIX_NURIT293_LIB")) {
      try {
        library_ = std::make_unique<platform::SharedLibrary>(path);
      } catch (const Failure&) {
        // The driver reports the missing library when it loads it.
      }
    }
  }

  std::string PortPath() const override { return pad_.PortPath(); }
  void QueueChipCard() override {}  // the library's own reading is a chip card
  void QueueStripeCard() override {
    using AddCard = void (*)(const char*, const char*, const char*, const char*);
    if (library_ == nullptr) return;
    if (auto add = reinterpret_cast<AddCard>(library_->Symbol("TovalixSimNurit293_AddCard"))) {
      add("MagStripe", (std::string(kStripePan) + "=" + kExpiry + "1011234567").c_str(),
          (std::string("B") + kStripePan + "^DEMO/TARJETA^" + kExpiry + "101").c_str(), nullptr);
    }
  }

 private:
  sim::Vx810Simulator pad_;
  std::unique_ptr<platform::SharedLibrary> library_;
};

class OptimumDemoPinPad final : public DemoPinPad {
 public:
  std::string PortPath() const override { return pad_.PortPath(); }
  void QueueChipCard() override { pad_.Queue(sim::OptimumReading::Chip()); }
  void QueueStripeCard() override { pad_.Queue(sim::OptimumReading::Stripe()); }

 private:
  sim::OptimumPinPad pad_;
};

}  // namespace

const DemoModel* FindDemoModel(const std::string& option) {
  for (const DemoModel& model : kModels) {
    if (model.option == option) return &model;
  }
  return nullptr;
}

std::string DemoModelOptions() {
  std::string options;
  for (const DemoModel& model : kModels) options += (options.empty() ? "" : ", ") + model.option;
  return options;
}

std::unique_ptr<DemoPinPad> StartDemoPinPad(const DemoModel& model) {
  if (model.tipo == "IPP320") return std::make_unique<IngenicoPinPad>(sim::IngenicoModel::kIPP320);
  if (model.tipo == "INGENICO3070") {
    return std::make_unique<IngenicoPinPad>(sim::IngenicoModel::kIngenico3070);
  }
  if (model.tipo == "Vx810") return std::make_unique<Vx810PinPad>();
  if (model.tipo == "OPTIMUM") return std::make_unique<OptimumDemoPinPad>();
  return std::make_unique<NuritPinPad>();
}

}  // namespace tovalix::cli
