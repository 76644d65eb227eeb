#include "sim/optimum/optimum_pinpad.hpp"

#include <algorithm>
#include <chrono>
#include <utility>

#include "sim/pinpad/framing.hpp"

namespace tovalix::sim {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view kPrintStart = "<vxv>";
constexpr std::string_view kPrintEnd = "</vxv>";

std::string Number2(int n) {
  std::string text = std::to_string(n % 100);
  if (text.size() < 2) text.insert(0, 1, '0');
  return text;
}

// Accepts field `letter` as the next one of `m` with `size` bytes of BCD (0: any text);
// false when it is missing, out of order or of another size.
bool NextField(const OptimumMessage& m, std::size_t& at, char letter, std::size_t size,
               std::string& out) {
  if (at >= m.fields.size() || m.fields[at].first != letter) return false;
  const std::string& value = m.fields[at++].second;
  if (size == 0) {
    out = value;
    return true;
  }
  out = UnpackBcd(value);
  return value.size() == size;
}

}  // namespace

OptimumReading OptimumReading::Stripe() {
  OptimumReading r;
  r.track1 = std::string(kTrack1);
  r.track2 = std::string(kTrack2);
  return r;
}

OptimumReading OptimumReading::Chip() {
  OptimumReading r = Stripe();
  r.track1.clear();  // chip readings carry no track 1
  r.c = "1";
  r.f = "00";
  r.g = ChipData();
  return r;
}

OptimumReading OptimumReading::Fallback() {
  OptimumReading r = Stripe();
  r.d = "1";
  return r;
}

OptimumReading OptimumReading::Error(int number) {
  OptimumReading r;
  r.kind = Kind::kError;
  r.error = number;
  return r;
}

OptimumReading OptimumReading::Silence() {
  OptimumReading r;
  r.kind = Kind::kSilence;
  return r;
}

std::string OptimumReading::ChipData() {
  return ChipElement("5F2A", "0484") + ChipElement("82", "5C00") + ChipElement("84", kAid) +
         ChipElement("95", "0000008000") + ChipElement("9A", "240305") + ChipElement("9C", "00") +
         ChipElement("9F02", "000000012500") + ChipElement("9F03", "000000000000") +
         ChipElement("9F26", kArqc) + ChipElement("9F27", "80") + ChipElement("9F36", "0001") +
         ChipElement("9F37", "A1B2C3D4") + ChipElement("9F10", "06011103A00000") +
         ChipElement("9F1A", "0484") + ChipElement("5F34", "01");
}

std::size_t OptimumPrinterFraming(std::string_view pending) {
  if (pending.empty() || pending[0] != '<') return OptimumFraming(pending);
  const std::size_t have = std::min(pending.size(), kPrintStart.size());
  if (pending.substr(0, have) != kPrintStart.substr(0, have)) return 1;  // a stray '<'
  const std::size_t end = pending.find(kPrintEnd);
  if (end == std::string_view::npos) return 0;  // need the rest of the text
  return end + kPrintEnd.size();
}

OptimumPinPad::OptimumPinPad(std::string serial)
    : PinPadSimulator(OptimumPrinterFraming), serial_(std::move(serial)) {
  Start();
}

OptimumPinPad::~OptimumPinPad() {
  Stop();
}

OptimumPinPad& OptimumPinPad::Queue(OptimumReading reading) {
  std::lock_guard lock(state_mutex_);
  readings_.push_back(std::move(reading));
  return *this;
}

OptimumPinPad& OptimumPinPad::SetDefaultReading(OptimumReading reading) {
  std::lock_guard lock(state_mutex_);
  default_reading_ = std::move(reading);
  return *this;
}

OptimumPinPad& OptimumPinPad::QueuePrinter(PrinterStatus status) {
  std::lock_guard lock(state_mutex_);
  printer_.push_back(status);
  return *this;
}

void OptimumPinPad::SetObserver(std::function<void(const std::string&)> observer) {
  std::lock_guard lock(state_mutex_);
  observer_ = std::move(observer);
}

std::vector<OptimumCardRequest> OptimumPinPad::CardRequests() const {
  std::lock_guard lock(state_mutex_);
  return card_requests_;
}
std::vector<std::string> OptimumPinPad::Notifications() const {
  std::lock_guard lock(state_mutex_);
  return notifications_;
}
std::vector<std::string> OptimumPinPad::Displays() const {
  std::lock_guard lock(state_mutex_);
  return displays_;
}
std::vector<std::string> OptimumPinPad::PrintRequests() const {
  std::lock_guard lock(state_mutex_);
  return print_requests_;
}
std::vector<std::string> OptimumPinPad::Printed() const {
  std::lock_guard lock(state_mutex_);
  return printed_;
}
std::vector<std::string> OptimumPinPad::Commands() const {
  std::lock_guard lock(state_mutex_);
  return commands_;
}
std::vector<std::string> OptimumPinPad::Problems() const {
  std::lock_guard lock(state_mutex_);
  return problems_;
}
int OptimumPinPad::SerialRequests() const {
  std::lock_guard lock(state_mutex_);
  return serial_requests_;
}

void OptimumPinPad::Note(const std::string& line) {
  std::function<void(const std::string&)> observer;
  {
    std::lock_guard lock(state_mutex_);
    observer = observer_;
  }
  if (observer) observer(line);
}

void OptimumPinPad::OnUnit(const Unit& unit) {
  if (unit.bytes.rfind(kPrintStart, 0) == 0) {
    OnPrint(unit.bytes);
    return;
  }
  if (!unit.is_frame()) {
    std::lock_guard lock(state_mutex_);
    problems_.push_back("stray byte " + Hex(unit.bytes));
    return;
  }
  const OptimumFrameCheck check = ReadOptimumFrame(unit.bytes);
  if (!check.message) {
    {
      std::lock_guard lock(state_mutex_);
      problems_.push_back(check.problem + ": " + Hex(unit.bytes));
    }
    Note("unreadable frame (" + check.problem + "), not answered");
    return;
  }
  {
    std::lock_guard lock(state_mutex_);
    commands_.push_back(check.message->command);
  }
  OnMessage(*check.message);
}

void OptimumPinPad::OnMessage(const OptimumMessage& m) {
  const std::string code = m.command.size() == 3 ? m.command.substr(1) : m.command;
  if (m.command == "C54") {
    const auto a = m.Field('A');
    if (a == "00" && m.fields.size() == 2 && m.Field('B')) {
      const std::string b = *m.Field('B');
      {
        std::lock_guard lock(state_mutex_);
        notifications_.push_back(b);
      }
      Note("C54 chip result " + std::string(b == "00" ? "approved" : "declined") + " (B " + b +
           ")");
      Send(OptimumFrame("P54A00"));
      return;
    }
    OnCardRequest(m);
    return;
  }
  if (m.command == "C50") {
    const std::string text = m.Field('A').value_or("");
    {
      std::lock_guard lock(state_mutex_);
      displays_.push_back(text);
    }
    Note("C50 display: " + text);
    Send(OptimumFrame("P50A00"));
    return;
  }
  if (m.command == "C57") {
    {
      std::lock_guard lock(state_mutex_);
      ++serial_requests_;
    }
    Note("C57 serial number " + serial_);
    Send(OptimumFrame("P57A" + serial_));
    return;
  }
  Note(m.command + " accepted");
  Send(OptimumFrame("P" + code + "A00"));
}

void OptimumPinPad::OnCardRequest(const OptimumMessage& m) {
  OptimumCardRequest request;
  std::size_t at = 0;
  request.complete =
      NextField(m, at, 'A', 0, request.prompt) && NextField(m, at, 'B', 3, request.date) &&
      NextField(m, at, 'C', 2, request.time) && NextField(m, at, 'D', 6, request.amount) &&
      NextField(m, at, 'E', 6, request.tip) && NextField(m, at, 'F', 2, request.f) &&
      NextField(m, at, 'G', 1, request.g) && NextField(m, at, 'H', 1, request.h) &&
      at == m.fields.size();
  OptimumReading reading = OptimumReading::Error(11);
  {
    std::lock_guard lock(state_mutex_);
    card_requests_.push_back(request);
    // A malformed request does not use up the sale's reading.
    if (request.complete && !readings_.empty()) {
      reading = std::move(readings_.front());
      readings_.pop_front();
    } else if (default_reading_) {
      reading = *default_reading_;
    }
  }
  if (!request.complete) {
    // Refused the way the terminal refuses a command it cannot read.
    Note("C54 card request malformed, refused");
    Send(OptimumFrame("E54A99"));
    return;
  }
  const std::string what = "C54 card request, amount " + request.amount + " tip " + request.tip;
  switch (reading.kind) {
    case OptimumReading::Kind::kSilence:
      Note(what + ": no answer");
      return;
    case OptimumReading::Kind::kError:
      Note(what + ": error " + Number2(reading.error));
      Send(OptimumFrame("P54A00"));
      Send(OptimumFrame("E54A" + Number2(reading.error)), Delivery().Delayed(2ms));
      return;
    case OptimumReading::Kind::kCard:
      break;
  }
  Note(what + ": card read with C " + reading.c + " D " + reading.d);
  Send(OptimumFrame("P54A00"));
  Send(OptimumFrame(
           CardAnswer(reading.track1, reading.track2, reading.c, reading.d, reading.f, reading.g)),
       Delivery().Delayed(2ms));
}

void OptimumPinPad::OnPrint(const std::string& text) {
  PrinterStatus status = PrinterStatus::kPrinted;
  {
    std::lock_guard lock(state_mutex_);
    commands_.push_back("print");
    print_requests_.push_back(text);
    if (!printer_.empty()) {
      status = printer_.front();
      printer_.pop_front();
    }
    if (status == PrinterStatus::kPrinted) printed_.push_back(text);
  }
  switch (status) {
    case PrinterStatus::kPrinted:
      Note("printed " + std::to_string(text.size()) + " bytes");
      Send("vxv0");
      break;
    case PrinterStatus::kNoPaper:
      Note("printer out of paper");
      Send("vxv1");
      break;
    case PrinterStatus::kResend:
      Note("printer asks for the text again");
      Send("vxv2");
      break;
    case PrinterStatus::kSilent:
      Note("printer silent");
      break;
  }
}

}  // namespace tovalix::sim
