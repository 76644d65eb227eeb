#include "sim/pinpad/scripted_pinpad.hpp"

namespace tovalix::sim {

ScriptedPinPad::ScriptedPinPad(Framing framing) : PinPadSimulator(framing) {
  Start();
}

ScriptedPinPad::~ScriptedPinPad() {
  Stop();
}

ScriptedPinPad& ScriptedPinPad::Expect(std::string unit, std::vector<Reply> replies) {
  std::lock_guard lock(script_mutex_);
  steps_.push_back(Step{std::move(unit), std::move(replies)});
  return *this;
}

ScriptedPinPad& ScriptedPinPad::Otherwise(std::vector<Reply> replies) {
  std::lock_guard lock(script_mutex_);
  otherwise_ = std::move(replies);
  has_otherwise_ = true;
  return *this;
}

std::vector<std::string> ScriptedPinPad::Mismatches() const {
  std::lock_guard lock(script_mutex_);
  return mismatches_;
}

std::size_t ScriptedPinPad::StepsLeft() const {
  std::lock_guard lock(script_mutex_);
  return steps_.size() - next_;
}

void ScriptedPinPad::OnUnit(const Unit& unit) {
  std::vector<Reply> replies;
  {
    std::lock_guard lock(script_mutex_);
    if (next_ < steps_.size()) {
      const Step& step = steps_[next_];
      if (!step.expect.empty() && step.expect != unit.bytes) {
        mismatches_.push_back("step " + std::to_string(next_ + 1) + ": expected " +
                              Hex(step.expect) + "/ received " + Hex(unit.bytes));
      }
      replies = step.replies;
      ++next_;
    } else if (has_otherwise_) {
      replies = otherwise_;
    } else {
      mismatches_.push_back("unexpected: " + Hex(unit.bytes));
    }
  }
  for (const Reply& reply : replies) Send(reply.bytes, reply.how);
}

}  // namespace tovalix::sim
