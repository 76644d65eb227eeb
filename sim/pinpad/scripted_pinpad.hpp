// A PIN pad that plays a conversation: a list of steps, each the unit it expects to receive
// (a whole frame or a single control byte) and the replies it writes back. Units beyond the
// script get the `Otherwise` replies (none by default: silence). A received unit that differs
// from the expected one is recorded as a mismatch showing both sides in hex; the step's
// replies are played all the same so the conversation can go on.
//
//   ScriptedPinPad pad(LengthFraming);
//   pad.Expect(LengthFrame("CF1", ""), {Reply{"\x06"}, Reply{LengthFrame("CF1", serial)}})
//      .Expect("\x06");
//   link.Abre(pad.PortPath());
//   ...
//   EXPECT_THAT(pad.Mismatches(), IsEmpty());
#pragma once

#include <string>
#include <vector>

#include "sim/pinpad/pinpad_simulator.hpp"

namespace tovalix::sim {

struct Reply {
  std::string bytes;
  Delivery how{};
};

class ScriptedPinPad : public PinPadSimulator {
 public:
  // An empty `expect` in a step accepts any unit.
  struct Step {
    std::string expect;
    std::vector<Reply> replies;
  };

  explicit ScriptedPinPad(Framing framing = TextFraming);
  ~ScriptedPinPad() override;

  // Adds a step. Safe to call while the device runs.
  ScriptedPinPad& Expect(std::string unit, std::vector<Reply> replies = {});
  // Replies to every unit once the script is used up.
  ScriptedPinPad& Otherwise(std::vector<Reply> replies);

  // "step 2: expected 02 43 46 31 03 37 / received 02 43 46 30 03 36 " for each mismatch, and
  // "unexpected: ..." for units past the script when no Otherwise was given.
  std::vector<std::string> Mismatches() const;
  // Steps not yet reached.
  std::size_t StepsLeft() const;

 protected:
  void OnUnit(const Unit& unit) override;

 private:
  mutable std::mutex script_mutex_;
  std::vector<Step> steps_;
  std::size_t next_ = 0;
  std::vector<Reply> otherwise_;
  bool has_otherwise_ = false;
  std::vector<std::string> mismatches_;
};

}  // namespace tovalix::sim
