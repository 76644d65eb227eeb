#include "drivers/models.hpp"

namespace tovalix::drivers {

namespace ingenico {
extern const ModelDescriptor kIngenico3070Model;
extern const ModelDescriptor kIPP320Model;
}  // namespace ingenico
namespace vx810 {
extern const ModelDescriptor kVx810Model;
}  // namespace vx810
namespace optimum {
extern const ModelDescriptor kOptimumModel;
}  // namespace optimum
namespace nurit293 {
extern const ModelDescriptor kNurit293Model;
}  // namespace nurit293

namespace {

constexpr const ModelDescriptor* kModels[] = {
    &ingenico::kIngenico3070Model, &ingenico::kIPP320Model, &vx810::kVx810Model,
    &nurit293::kNurit293Model,     &optimum::kOptimumModel,
};

}  // namespace

std::span<const ModelDescriptor* const> Models() {
  return kModels;
}

const ModelDescriptor* FindModel(std::string_view tipo) {
  for (const ModelDescriptor* model : kModels) {
    if (model->tipo == tipo) return model;
  }
  return nullptr;
}

serial::PortNames PortNamesOf(std::string_view tipo) {
  const ModelDescriptor* model = FindModel(tipo);
  return model ? model->ports : serial::PortNames{};
}

}  // namespace tovalix::drivers
