#include "sim/vx810/vx810_simulator.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace tovalix::sim {
namespace {

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr char kEot = 0x04;
constexpr char kEnq = 0x05;
constexpr char kAck = 0x06;
constexpr char kNak = 0x15;
constexpr char kDisplaySeparator = 0x1A;  // between "Z2" and the text
constexpr char kTrack2End = 0x01;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  throw std::invalid_argument("not a hex digit in a simulated card's data");
}

// "0201" -> the bytes 02 01.
std::string Bytes(std::string_view hex) {
  if (hex.size() % 2 != 0) throw std::invalid_argument("odd hex text in a simulated card");
  std::string out;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    out += static_cast<char>(HexDigit(hex[i]) << 4 | HexDigit(hex[i + 1]));
  }
  return out;
}

std::string Length2(std::size_t n) {
  if (n > 0xFFFF) throw std::length_error("simulated answer over 65535 bytes");
  return {static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)};
}

// One element with a one-byte length.
std::string Element(std::string_view tag_hex, std::string_view value) {
  if (value.size() > 0xFF) throw std::length_error("simulated element over 255 bytes");
  return Bytes(tag_hex) + static_cast<char>(value.size()) + std::string(value);
}

// The frame's body (between STX and ETX) when its structure and LRC hold.
bool BodyOf(std::string_view frame, std::string* body) {
  if (frame.size() < 3 || frame[0] != kStx || frame[frame.size() - 2] != kEtx) return false;
  const std::string_view inside = frame.substr(1, frame.size() - 3);
  if (Lrc(inside) != frame.back()) return false;
  *body = std::string(inside);
  return true;
}

bool IsChipCommand(std::string_view body) {
  return body.size() >= 3 && body[0] == 'C' && body[1] == '3' && body[2] >= '0' && body[2] <= '9';
}

}  // namespace

Vx810Answer Vx810Answer::Swipe(std::string_view track2, std::string_view track1,
                               std::string_view status) {
  std::string data(track2);
  data += kTrack2End;
  data += track1;
  return {TextFrame("C30" + std::string(status) + Length2(data.size()) + data)};
}

Vx810Answer Vx810Answer::Status(std::string_view command, std::string_view status) {
  return {TextFrame(std::string(command) + std::string(status))};
}

Vx810Answer Vx810Answer::Chip(const Vx810ChipCard& card, std::string_view status) {
  std::string elements;
  if (!card.service_code.empty()) elements += Element("5F30", Bytes(card.service_code));
  elements += Element("5F20", card.name);
  elements += Element("57", Bytes(card.track2));
  elements += Element("5F24", Bytes(card.expiry));
  elements += Element("9F27", Bytes(card.cryptogram_info));
  elements += Element("8A", Bytes(card.aut_code));
  // The template's length in two bytes (81 nn), as the PIN pad writes lengths over 127.
  const std::string emv = Bytes(card.emv);
  if (emv.size() > 0xFF) throw std::length_error("simulated EMV template over 255 bytes");
  elements += Bytes("E281") + static_cast<char>(emv.size()) + emv;
  return {TextFrame("C33" + std::string(status) + Length2(elements.size()) + elements)};
}

Vx810Answer Vx810Answer::AfterStatus(char high, char low) const {
  // STX, command (3), status (2), the two bytes, data, ETX, LRC.
  if (frame.size() < 10) throw std::length_error("no two bytes after the status");
  Vx810Answer changed = *this;
  changed.frame[6] = high;
  changed.frame[7] = low;
  changed.frame.back() = Lrc(std::string_view(changed.frame).substr(1, changed.frame.size() - 3));
  return changed;
}

Vx810Simulator::Vx810Simulator()
    : PinPadSimulator(Vx810Framing),
      c30_default_(Vx810Answer::Status("C30", "06")),
      c31_default_(Vx810Answer::Status("C31", "99")) {
  Start();
}

Vx810Simulator::~Vx810Simulator() {
  Stop();
}

void Vx810Simulator::SetEnqReply(std::string bytes) {
  std::lock_guard lock(state_);
  enq_reply_ = std::move(bytes);
}

void Vx810Simulator::SetI02Busy(std::size_t count) {
  std::lock_guard lock(state_);
  i02_busy_ = count;
}

void Vx810Simulator::SetC23Code(char code) {
  std::lock_guard lock(state_);
  c23_code_ = code;
}

void Vx810Simulator::SetSerialAnswer(std::string text) {
  std::lock_guard lock(state_);
  serial_answer_ = std::move(text);
}

void Vx810Simulator::QueueC30(Vx810Answer answer) {
  std::lock_guard lock(state_);
  c30_.push_back(std::move(answer));
}

void Vx810Simulator::QueueC31(Vx810Answer answer) {
  std::lock_guard lock(state_);
  c31_.push_back(std::move(answer));
}

void Vx810Simulator::SetC30Default(Vx810Answer answer) {
  std::lock_guard lock(state_);
  c30_default_ = std::move(answer);
}

void Vx810Simulator::SetC31Default(Vx810Answer answer) {
  std::lock_guard lock(state_);
  c31_default_ = std::move(answer);
}

void Vx810Simulator::SetAnswerDelivery(Delivery how) {
  std::lock_guard lock(state_);
  answer_delivery_ = std::move(how);
}

void Vx810Simulator::SetObserver(std::function<void(const std::string&)> observer) {
  std::lock_guard lock(state_);
  observer_ = std::move(observer);
}

void Vx810Simulator::QueueChipSale(const Vx810ChipCard& card) {
  QueueC30(Vx810Answer::Status("C30", "00"));
  QueueC31(Vx810Answer::Chip(card, "00"));
}

void Vx810Simulator::QueueStripeSale(std::string_view track2, std::string_view track1) {
  QueueC30(Vx810Answer::Swipe(track2, track1));
}

void Vx810Simulator::QueueCardStatus(std::string_view status) {
  QueueC30(Vx810Answer::Status("C30", status));
}

std::vector<std::string> Vx810Simulator::Commands() const {
  std::lock_guard lock(state_);
  return commands_;
}

std::size_t Vx810Simulator::Count(std::string_view command) const {
  std::lock_guard lock(state_);
  return static_cast<std::size_t>(std::count(commands_.begin(), commands_.end(), command));
}

std::vector<std::string> Vx810Simulator::Displays() const {
  std::lock_guard lock(state_);
  return displays_;
}

std::vector<std::string> Vx810Simulator::C34Data() const {
  std::lock_guard lock(state_);
  return c34_data_;
}

void Vx810Simulator::Note(std::string command) {
  std::function<void(const std::string&)> observer;
  {
    std::lock_guard lock(state_);
    commands_.push_back(command);
    observer = observer_;
  }
  if (observer) observer(command);
}

// ACK for the command, then the answer frame (kept for a NAK).
void Vx810Simulator::Answer(const std::string& frame) {
  Delivery how;
  {
    std::lock_guard lock(state_);
    how = answer_delivery_;
  }
  SendAck();
  last_answer_ = frame;
  Send(frame, how);
}

std::string Vx810Simulator::NextCardAnswer(std::deque<Vx810Answer>& queue,
                                           const Vx810Answer& fallback) {
  std::lock_guard lock(state_);
  if (queue.empty()) return fallback.frame;
  std::string frame = std::move(queue.front().frame);
  queue.pop_front();
  return frame;
}

void Vx810Simulator::OnUnit(const Unit& unit) {
  if (!unit.is_frame()) {
    const char byte = unit.bytes.empty() ? 0 : unit.bytes[0];
    if (byte == kEnq) {
      Note("ENQ");
      std::string reply;
      {
        std::lock_guard lock(state_);
        reply = enq_reply_;
      }
      if (!reply.empty()) Send(reply);
    } else if (byte == kNak && !last_answer_.empty()) {
      Send(last_answer_);  // the host wants the answer again
    }
    // ACK, EOT and stray bytes need nothing.
    return;
  }
  std::string body;
  if (!BodyOf(unit.bytes, &body)) {
    Note("LRC");
    SendNak();
    return;
  }
  last_answer_.clear();

  if (IsChipCommand(body)) {
    const std::string command = body.substr(0, 3);
    // A chip command's length must match its data.
    const std::size_t announced =
        body.size() < 5 ? 0
                        : static_cast<std::size_t>(static_cast<unsigned char>(body[3])) << 8 |
                              static_cast<unsigned char>(body[4]);
    const bool sized = body.size() >= 5 && announced == body.size() - 5;
    if (!sized) {
      Note("?");
      SendEot();
      return;
    }
    if (command == "C30") {
      Note("C30");
      Answer(NextCardAnswer(c30_, c30_default_));
    } else if (command == "C31") {
      Note("C31");
      Answer(NextCardAnswer(c31_, c31_default_));
    } else if (command == "C34") {
      Note("C34");
      {
        std::lock_guard lock(state_);
        c34_data_.push_back(body.substr(5));
      }
      Answer(TextFrame("C34" + Length2(0)));
    } else {
      Note("?");
      SendEot();
    }
    return;
  }

  if (body == "I02") {
    Note("I02");
    char state = '0';
    {
      std::lock_guard lock(state_);
      if (i02_busy_ > 0) {
        --i02_busy_;
        state = '1';
      }
    }
    Answer(TextFrame(std::string("I02") + state));
  } else if (body == "72") {
    Note("72");
    SendAck();
  } else if (body == "C23") {
    Note("C23");
    char code = '0';
    {
      std::lock_guard lock(state_);
      code = c23_code_;
    }
    Answer(TextFrame(std::string("C23") + code));
  } else if (body == "06") {
    Note("06");
    std::string text;
    {
      std::lock_guard lock(state_);
      text = serial_answer_;
    }
    Answer(TextFrame("06" + text));
  } else if (body.size() >= 3 && body.compare(0, 2, "Z2") == 0 && body[2] == kDisplaySeparator) {
    Note("Z2");
    std::function<void(const std::string&)> observer;
    {
      std::lock_guard lock(state_);
      displays_.push_back(body.substr(3));
      observer = observer_;
    }
    if (observer) observer("display: " + body.substr(3));
    SendAck();
  } else {
    Note("?");
    SendEot();
  }
}

}  // namespace tovalix::sim
