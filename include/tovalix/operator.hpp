// What the component needs from the person at the counter and from the host's event loop.
// A POS host supplies its own; the default writes to standard error.
#pragma once

#include <tovalix/export.h>

#include <string>

namespace tovalix {

class TOVALIX_EXPORT Operator {
 public:
  // Message-box styles, numbered as the Windows styles the hosts already know.
  static constexpr int kPlain = 0;      // no icon
  static constexpr int kCritical = 16;  // critical-stop icon

  virtual ~Operator() = default;

  // Shows `text` to the operator and returns once it was seen (modal). An empty `title`
  // means the host's default title. Called on the host's thread, never re-entered.
  virtual void MessageBox(const std::string& text, int style, const std::string& title) = 0;

  // Lets the host's event loop run once. Called between short waits while the component
  // waits on a PIN pad or a pause; the host must not call back into the component from here.
  virtual void Pump() {}
};

// Prints each message box on standard error as "[title] text"; its Pump does nothing.
class TOVALIX_EXPORT StderrOperator : public Operator {
 public:
  void MessageBox(const std::string& text, int style, const std::string& title) override;
};

}  // namespace tovalix
