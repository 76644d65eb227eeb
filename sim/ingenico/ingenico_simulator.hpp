// A simulated Ingenico 3070 or iPP320 on a pty. It checks every frame it receives (a wrong LRC
// or a missing ETX gets NAK), acknowledges it, and answers the commands that have an answer:
// CF0 and CF1 with the serial number, IC0 with the next card reading of its queue, IC1 with
// the card's completion, RMV once the card is out, KBD with the value typed. DSP only shows.
// A NAK after an answer makes it send the answer again; EOT drops it.
//
// It records every command received, every screen shown (display lines, logo, blank screen,
// the card prompt of IC0, the removal text of RMV), every IC0 request and every IC1
// completion. Faults come from the framework's Delivery plus a few of the protocol's own
// (silence, NAK, an answer garbled once), each attached to the next frame of one command.
//
//   IngenicoSimulator pad(IngenicoModel::kIPP320);
//   pad.QueueChipCard("4000001234567899", "2912");
//   ... a sale with pad.PortPath() as its port ...
//   pad.Displays();  // {"Inserte /Deslice", ...}
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/pinpad/pinpad_simulator.hpp"

namespace tovalix::sim {

enum class IngenicoModel { kIngenico3070, kIPP320 };

// One card reading: what the device answers to one IC0.
struct CardReading {
  std::uint8_t status = 0x00;  // 00 chip, 01 chip again, 02 removed, 03 cancelled,
                               // 04 go to fallback, 05 fallback read, 06 swiped, 07 bad swipe
  std::string track2;          // digits with "=" as the separator ("" for none)
  std::string track1;          // as text ("" for none)
  // A card read on its chip sends track 1 as 81 fixed bytes, blank-padded, where a swiped card
  // sends its length byte and the track.
  bool chip_layout = false;
  std::vector<std::pair<std::string, std::string>> emv;  // (tag, value), both hex

  // Read on the chip: status 00, service code 201, EMV data with a cryptogram.
  static CardReading Chip(const std::string& pan, const std::string& yymm);
  // A stripe-only card swiped: status 06, service code 101.
  static CardReading Stripe(const std::string& pan, const std::string& yymm);
  // A chip card swiped: status 06, service code 201.
  static CardReading ChipSwiped(const std::string& pan, const std::string& yymm);
  // The fallback reading that follows status 04: status 05, service code 201, track 1 by its
  // length.
  static CardReading Fallback(const std::string& pan, const std::string& yymm);
  // Only a status, no card data.
  static CardReading OnlyStatus(std::uint8_t status);
};

// A fault for the next frame of one command.
struct IngenicoFault {
  bool silent = false;   // neither ACK nor answer
  bool nak = false;      // NAK the frame (the host writes it again)
  bool garbled = false;  // the answer goes out once with a wrong LRC; a NAK gets it right
  Delivery how{};        // how the ACK and the answer go out
};

struct IngenicoScreen {
  enum class Kind { kText, kClear, kLogo, kStoredLogo, kCardPrompt, kRemoval };
  Kind kind;
  std::string text;  // trailing blanks removed; "" for the logo and the blank screen
};

// What an IC0 asked for.
struct CardRequest {
  std::string text;    // the prompt, trailing blanks removed
  std::string date;    // "YYYYMMDD"
  std::string time;    // "HHMMSS"
  std::string amount;  // 12 digits, in cents
  std::string tip;     // 12 digits, in cents
};

// What an IC1 handed to the card.
struct CardCompletion {
  std::string status;         // the status byte as two hex digits
  std::string code;           // the response code characters
  std::string authorization;  // the authorization characters
};

class IngenicoSimulator : public PinPadSimulator {
 public:
  explicit IngenicoSimulator(IngenicoModel model);
  ~IngenicoSimulator() override;

  IngenicoModel Model() const { return model_; }

  // The card readings, one per IC0, in order. An IC0 that finds the queue empty gets the
  // default reading, or, without one, an ACK and then nothing (no card presented).
  void QueueReading(CardReading reading);
  void QueueChipCard(const std::string& pan, const std::string& yymm);
  void QueueStripeCard(const std::string& pan, const std::string& yymm);
  void SetDefaultReading(std::optional<CardReading> reading);
  std::size_t ReadingsLeft() const;

  // The serial number CF0 and CF1 answer with: exactly 6 characters for the 3070, 7 for the
  // iPP320 (std::invalid_argument otherwise).
  void SetSerialNumber(const std::string& serial);
  const std::string& SerialNumber() const { return serial_; }
  // What the cardholder types at a KBD prompt.
  void SetKeyboardEntry(std::string typed);

  // A fault for the next frame of `command` ("IC0", "DSP", ...); faults of one command apply
  // in the order given.
  void AddFault(const std::string& command, IngenicoFault fault);

  // Called on the device thread with a one-line description of each command handled (no card
  // data): for a console that shows what the device does.
  void SetObserver(std::function<void(const std::string&)> observer);

  // Thread-safe copies of what the device saw and did.
  std::vector<std::string> Commands() const;  // letters of every well-formed frame received
  std::vector<IngenicoScreen> Screens() const;
  std::vector<std::string> Displays() const;  // texts of kText, kCardPrompt, kRemoval screens
  std::vector<CardRequest> CardRequests() const;
  std::vector<CardCompletion> Completions() const;
  int NaksReceived() const;
  int AcksReceived() const;
  int BadFramesReceived() const;  // frames answered with NAK

  // The IC0 answer the device sends for `reading` (its own framing); for seed corpora.
  static std::string IC0Answer(const CardReading& reading);

 protected:
  void OnUnit(const Unit& unit) override;

 private:
  void HandleFrame(const std::string& frame);
  std::optional<std::string> Answer(const std::string& command, const std::string& data);
  void Note(const std::string& line);

  const IngenicoModel model_;
  mutable std::mutex state_mutex_;
  std::string serial_;
  std::string typed_ = "123";
  std::deque<CardReading> readings_;
  std::optional<CardReading> default_reading_;
  std::vector<std::pair<std::string, IngenicoFault>> faults_;
  std::function<void(const std::string&)> observer_;
  std::vector<std::string> commands_;
  std::vector<IngenicoScreen> screens_;
  std::vector<CardRequest> requests_;
  std::vector<CardCompletion> completions_;
  int naks_ = 0;
  int acks_ = 0;
  int bad_frames_ = 0;
  std::string unacknowledged_;  // the last answer, until ACK or EOT (device thread only)
};

}  // namespace tovalix::sim
