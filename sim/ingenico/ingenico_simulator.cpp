#include "sim/ingenico/ingenico_simulator.hpp"

#include <cstdio>
#include <stdexcept>

namespace tovalix::sim {
namespace {

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr char kEot = 0x04;
constexpr char kAck = 0x06;
constexpr char kNak = 0x15;

// Bytes of an IC0 answer's data, counted from its status byte (the third byte after "IC0").
constexpr std::size_t kTrack2At = 20;  // its length byte
constexpr std::size_t kTrack2Room = 20;
constexpr std::size_t kTrack1At = 41;  // its length byte, or where a chip card's 81 bytes start
constexpr std::size_t kTrack1Room = 94;
constexpr std::size_t kChipTrack1 = 81;
constexpr std::size_t kEmvAt = 136;  // two length bytes, then the objects

// Trailing bytes of IC1 after the authorization: date, time, 32 zeros, the tag list.
constexpr std::size_t kIc1Tail = 4 + 3 + 32 + 11;

unsigned At(std::string_view bytes, std::size_t i) {
  return static_cast<unsigned char>(bytes[i]);
}

int Nibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  throw std::invalid_argument(std::string("not a hex digit: ") + c);
}

// Hex digits to bytes, two digits per byte.
std::string Packed(std::string digits) {
  if (digits.size() % 2 != 0) digits += '0';
  std::string bytes;
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    bytes += static_cast<char>(Nibble(digits[i]) * 16 + Nibble(digits[i + 1]));
  }
  return bytes;
}

// Packed decimal bytes back to their digits.
std::string Digits(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string digits;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    digits += kDigits[byte >> 4];
    digits += kDigits[byte & 0x0F];
  }
  return digits;
}

std::string RightTrimmed(std::string text) {
  const std::size_t end = text.find_last_not_of(' ');
  text.erase(end == std::string::npos ? 0 : end + 1);
  return text;
}

std::string Track1Of(const std::string& pan, const std::string& yymm, const std::string& code) {
  return "B" + pan + "^TARJETA/PRUEBA           ^" + yymm + code + "0000000000000000";
}

std::vector<std::pair<std::string, std::string>> ChipData() {
  return {{"5F2A", "0484"},
          {"5F34", "01"},
          {"82", "1800"},
          {"84", "A0000000031010"},
          {"95", "0000008000"},
          {"9A", "250101"},
          {"9C", "00"},
          {"9F02", "000000015050"},
          {"9F03", "000000000000"},
          {"9F10", "06010A03A00000"},
          {"9F1A", "0484"},
          {"9F26", "1A2B3C4D5E6F7081"},
          {"9F27", "80"},
          {"9F33", "E0F8C8"},
          {"9F34", "1E0300"},
          {"9F36", "0042"},
          {"9F37", "12345678"}};
}

CardReading WithCard(std::uint8_t status, const std::string& pan, const std::string& yymm,
                     const std::string& code) {
  CardReading reading;
  reading.status = status;
  reading.track2 = pan + "=" + yymm + code + "0000";
  reading.track1 = Track1Of(pan, yymm, code);
  return reading;
}

std::string DefaultSerial(IngenicoModel model) {
  return model == IngenicoModel::kIngenico3070 ? "307001" : "3200001";
}

std::size_t SerialSize(IngenicoModel model) {
  return model == IngenicoModel::kIngenico3070 ? 6 : 7;
}

// The frame the device sends: STX, command, two length bytes, data, ETX, LRC.
std::string Frame(const std::string& command, const std::string& data) {
  return LengthFrame(command, data);
}

}  // namespace

CardReading CardReading::Chip(const std::string& pan, const std::string& yymm) {
  CardReading reading = WithCard(0x00, pan, yymm, "201");
  reading.chip_layout = true;
  reading.emv = ChipData();
  return reading;
}

CardReading CardReading::Stripe(const std::string& pan, const std::string& yymm) {
  return WithCard(0x06, pan, yymm, "101");
}

CardReading CardReading::ChipSwiped(const std::string& pan, const std::string& yymm) {
  return WithCard(0x06, pan, yymm, "201");
}

CardReading CardReading::Fallback(const std::string& pan, const std::string& yymm) {
  return WithCard(0x05, pan, yymm, "201");
}

CardReading CardReading::OnlyStatus(std::uint8_t status) {
  CardReading reading;
  reading.status = status;
  return reading;
}

std::string IngenicoSimulator::IC0Answer(const CardReading& reading) {
  std::string track2 = reading.track2;
  for (char& c : track2) {
    if (c == '=') c = 'D';
  }
  const std::string track2_bytes = Packed(track2);
  if (track2_bytes.size() > kTrack2Room) throw std::invalid_argument("track 2 too long");
  std::string emv;
  for (const auto& [tag, value] : reading.emv) {
    const std::string bytes = Packed(value);
    if (bytes.size() > 0xFF || tag.size() % 2 != 0) throw std::invalid_argument("bad object");
    emv += Packed(tag) + static_cast<char>(bytes.size()) + bytes;
  }
  if (emv.size() > 0xFFFF - kEmvAt - 2) throw std::invalid_argument("EMV data too long");

  std::string data(kEmvAt, '\0');
  data[0] = static_cast<char>(reading.status);
  data[kTrack2At] = static_cast<char>(track2_bytes.size());
  data.replace(kTrack2At + 1, track2_bytes.size(), track2_bytes);
  if (reading.chip_layout) {
    std::string track1 = reading.track1;
    if (track1.size() > kChipTrack1) throw std::invalid_argument("track 1 too long");
    track1.resize(kChipTrack1, ' ');
    data.replace(kTrack1At, kChipTrack1, track1);
  } else {
    if (reading.track1.size() > kTrack1Room) throw std::invalid_argument("track 1 too long");
    data[kTrack1At] = static_cast<char>(reading.track1.size());
    data.replace(kTrack1At + 1, reading.track1.size(), reading.track1);
  }
  data += static_cast<char>(emv.size() >> 8);
  data += static_cast<char>(emv.size() & 0xFF);
  data += emv;
  return Frame("IC0", data);
}

IngenicoSimulator::IngenicoSimulator(IngenicoModel model)
    : PinPadSimulator(LengthFraming), model_(model), serial_(DefaultSerial(model)) {
  Start();
}

IngenicoSimulator::~IngenicoSimulator() {
  Stop();
}

void IngenicoSimulator::QueueReading(CardReading reading) {
  IC0Answer(reading);  // refuse a reading the answer cannot hold, here rather than later
  std::lock_guard lock(state_mutex_);
  readings_.push_back(std::move(reading));
}

void IngenicoSimulator::QueueChipCard(const std::string& pan, const std::string& yymm) {
  QueueReading(CardReading::Chip(pan, yymm));
}

void IngenicoSimulator::QueueStripeCard(const std::string& pan, const std::string& yymm) {
  QueueReading(CardReading::Stripe(pan, yymm));
}

void IngenicoSimulator::SetDefaultReading(std::optional<CardReading> reading) {
  if (reading) IC0Answer(*reading);
  std::lock_guard lock(state_mutex_);
  default_reading_ = std::move(reading);
}

std::size_t IngenicoSimulator::ReadingsLeft() const {
  std::lock_guard lock(state_mutex_);
  return readings_.size();
}

void IngenicoSimulator::SetSerialNumber(const std::string& serial) {
  if (serial.size() != SerialSize(model_)) {
    throw std::invalid_argument("the serial number must have " +
                                std::to_string(SerialSize(model_)) + " characters");
  }
  std::lock_guard lock(state_mutex_);
  serial_ = serial;
}

void IngenicoSimulator::SetKeyboardEntry(std::string typed) {
  if (typed.size() > 0xFE) throw std::invalid_argument("keyboard entry too long");
  std::lock_guard lock(state_mutex_);
  typed_ = std::move(typed);
}

void IngenicoSimulator::AddFault(const std::string& command, IngenicoFault fault) {
  std::lock_guard lock(state_mutex_);
  faults_.emplace_back(command, std::move(fault));
}

void IngenicoSimulator::SetObserver(std::function<void(const std::string&)> observer) {
  std::lock_guard lock(state_mutex_);
  observer_ = std::move(observer);
}

std::vector<std::string> IngenicoSimulator::Commands() const {
  std::lock_guard lock(state_mutex_);
  return commands_;
}

std::vector<IngenicoScreen> IngenicoSimulator::Screens() const {
  std::lock_guard lock(state_mutex_);
  return screens_;
}

std::vector<std::string> IngenicoSimulator::Displays() const {
  std::vector<std::string> texts;
  for (const IngenicoScreen& screen : Screens()) {
    if (screen.kind == IngenicoScreen::Kind::kText ||
        screen.kind == IngenicoScreen::Kind::kCardPrompt ||
        screen.kind == IngenicoScreen::Kind::kRemoval) {
      texts.push_back(screen.text);
    }
  }
  return texts;
}

std::vector<CardRequest> IngenicoSimulator::CardRequests() const {
  std::lock_guard lock(state_mutex_);
  return requests_;
}

std::vector<CardCompletion> IngenicoSimulator::Completions() const {
  std::lock_guard lock(state_mutex_);
  return completions_;
}

int IngenicoSimulator::NaksReceived() const {
  std::lock_guard lock(state_mutex_);
  return naks_;
}

int IngenicoSimulator::AcksReceived() const {
  std::lock_guard lock(state_mutex_);
  return acks_;
}

int IngenicoSimulator::BadFramesReceived() const {
  std::lock_guard lock(state_mutex_);
  return bad_frames_;
}

void IngenicoSimulator::Note(const std::string& line) {
  std::function<void(const std::string&)> observer;
  {
    std::lock_guard lock(state_mutex_);
    observer = observer_;
  }
  if (observer) observer(line);
}

void IngenicoSimulator::OnUnit(const Unit& unit) {
  if (unit.is_frame()) {
    HandleFrame(unit.bytes);
    return;
  }
  switch (unit.bytes[0]) {
    case kAck: {
      std::lock_guard lock(state_mutex_);
      ++acks_;
      unacknowledged_.clear();
      break;
    }
    case kNak: {
      {
        std::lock_guard lock(state_mutex_);
        ++naks_;
      }
      if (!unacknowledged_.empty()) Send(unacknowledged_);  // the host missed it: again
      break;
    }
    case kEot:
      unacknowledged_.clear();  // the host gave up on it
      break;
    default:
      break;  // line noise outside a frame
  }
}

void IngenicoSimulator::HandleFrame(const std::string& frame) {
  // LengthFraming hands over whole frames: STX, 3 letters, 2 length bytes, data, ETX, LRC.
  const std::size_t size = frame.size();
  const bool well_formed = size >= 8 && frame[size - 2] == kEtx &&
                           frame[size - 1] == Lrc(std::string_view(frame).substr(1, size - 3));
  if (!well_formed) {
    {
      std::lock_guard lock(state_mutex_);
      ++bad_frames_;
    }
    SendNak();
    return;
  }
  const std::string command = frame.substr(1, 3);
  const std::string data = frame.substr(6, size - 8);

  std::optional<IngenicoFault> fault;
  {
    std::lock_guard lock(state_mutex_);
    commands_.push_back(command);
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
      if (it->first == command) {
        fault = it->second;
        faults_.erase(it);
        break;
      }
    }
  }
  if (fault && fault->silent) return;
  if (fault && fault->nak) {
    SendNak(fault->how);
    return;
  }
  const Delivery how = fault ? fault->how : Delivery{};
  const std::optional<std::string> answer = Answer(command, data);
  if (!answer) {
    SendAck(how);
    return;
  }
  SendAck();
  unacknowledged_ = *answer;
  Send(fault && fault->garbled ? WithWrongLrc(*answer) : *answer, how);
}

// Records what the command shows or carries and builds its answer; nullopt when the command
// is only acknowledged.
std::optional<std::string> IngenicoSimulator::Answer(const std::string& command,
                                                     const std::string& data) {
  std::unique_lock lock(state_mutex_);
  if (command == "DSP") {
    using Kind = IngenicoScreen::Kind;
    const unsigned mode = data.empty() ? 0 : At(data, 0);
    IngenicoScreen screen{Kind::kText, ""};
    if (mode == 0x13) {
      screen.text = RightTrimmed(data.substr(1));
    } else if (mode == 0x11) {
      screen.kind = Kind::kClear;
    } else if (mode == 0xFF) {
      screen.kind = Kind::kLogo;
    } else if (mode == 0xFE) {
      screen.kind = Kind::kStoredLogo;
    } else {
      screen.text = "?";
    }
    screens_.push_back(screen);
    lock.unlock();
    Note("DSP " + (mode == 0x13 ? "\"" + screen.text + "\"" : std::string("screen")));
    return std::nullopt;
  }
  if (command == "IC0") {
    CardRequest request;
    if (data.size() >= 51) {
      request.text = RightTrimmed(data.substr(0, 32));
      request.date = Digits(data.substr(32, 4));
      request.time = Digits(data.substr(36, 3));
      request.amount = Digits(data.substr(39, 6));
      request.tip = Digits(data.substr(45, 6));
    }
    requests_.push_back(request);
    screens_.push_back({IngenicoScreen::Kind::kCardPrompt, request.text});
    std::optional<CardReading> reading = default_reading_;
    if (!readings_.empty()) {
      reading = std::move(readings_.front());
      readings_.pop_front();
    }
    lock.unlock();
    if (!reading) {
      Note("IC0 amount " + request.amount + ": no card");
      return std::nullopt;
    }
    char status[3];
    std::snprintf(status, sizeof status, "%02X", reading->status);
    Note("IC0 amount " + request.amount + ": reading with status " + status);
    return IC0Answer(*reading);
  }
  if (command == "IC1") {
    CardCompletion completion;
    if (!data.empty()) completion.status = Digits(data.substr(0, 1));
    if (data.size() >= 3) completion.code = data.substr(1, 2);
    if (data.size() > 3 + kIc1Tail)
      completion.authorization = data.substr(3, data.size() - 3 - kIc1Tail);
    completions_.push_back(completion);
    lock.unlock();
    Note("IC1 status " + completion.status + " authorization " + completion.authorization);
    return Frame("IC1", Packed("00"
                               "9F26081A2B3C4D5E6F7081"
                               "9F270140"));
  }
  if (command == "RMV") {
    const std::string text = RightTrimmed(data);
    screens_.push_back({IngenicoScreen::Kind::kRemoval, text});
    lock.unlock();
    Note("RMV \"" + text + "\"");
    return Frame("RMV", std::string(1, '\0'));
  }
  if (command == "CF0" || command == "CF1") {
    const std::string serial = serial_;
    lock.unlock();
    Note(command + " serial number " + serial);
    return Frame(command, std::string(1, '\0') + serial);
  }
  if (command == "KBD") {
    const std::string typed = typed_;
    lock.unlock();
    Note("KBD");
    return Frame("KBD", std::string(1, '\0') + typed);
  }
  lock.unlock();
  Note(command + " (unknown, acknowledged)");
  return std::nullopt;
}

}  // namespace tovalix::sim
