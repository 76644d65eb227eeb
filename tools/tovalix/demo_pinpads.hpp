// The simulated PIN pads the demo drives, behind one small face: where they hang, and which
// card the next sale reads.
#pragma once

#include <memory>
#include <string>

namespace tovalix::cli {

class DemoPinPad {
 public:
  virtual ~DemoPinPad() = default;
  virtual std::string PortPath() const = 0;
  virtual void QueueChipCard() = 0;
  virtual void QueueStripeCard() = 0;
};

// The models the demo runs, by the names `tovalix demo --model` takes.
struct DemoModel {
  std::string option;  // ipp320, ingenico3070, vx810, optimum, nurit293
  std::string tipo;    // the model as the settings store it
  std::string device;  // the device name the PIN pad is found under
};
const DemoModel* FindDemoModel(const std::string& option);
std::string DemoModelOptions();

// The simulator of `model`, started on a pseudo-terminal.
std::unique_ptr<DemoPinPad> StartDemoPinPad(const DemoModel& model);

}  // namespace tovalix::cli
