// A simulated Hypercom Optimum on a pty. It answers what a host sends it the way the terminal
// does:
//   C54 card request   acceptance "P54A00", then, per the next queued reading, the card
//                      answer "P54A" (A track 1, B track 2, C and D how it was read, F, G chip
//                      data), a rejection "E54A" nn, or silence
//   C54 chip result    (fields A "00", B "00" or "01") acceptance "P54A00"; B is recorded
//   C50 display        acceptance "P50A00"; the text is recorded
//   C57 serial number  "P57A" and the serial number
//   other commands     acceptance "P" code "A00"
//   "<vxv>...</vxv>"   the printer: the next queued status as a short answer "vxv0" (printed,
//                      the text is kept), "vxv1" (no paper), "vxv2" (resend), or silence
// A frame it cannot read (length, ETX or LRC wrong) gets no answer and is listed in Problems().
// Card data here are made up.
//
//   OptimumPinPad pad;
//   pad.Queue(OptimumReading::Chip()).Queue(OptimumReading::Error(16));
//   link.Abre(pad.PortPath());
//   ... pad.Printed(), pad.Displays(), pad.Notifications()
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/optimum/optimum_message.hpp"
#include "sim/pinpad/pinpad_simulator.hpp"

namespace tovalix::sim {

// What the terminal answers to one card request.
struct OptimumReading {
  enum class Kind { kCard, kError, kSilence };
  Kind kind = Kind::kCard;
  int error = 0;  // kError: the number after "E54A" (10 to 16, 99)
  std::string track1;
  std::string track2;
  std::string c = "0";  // C "0" D "0" stripe, C "1" D "0" chip, C "0" D "1" swipe after chip
  std::string d = "0";
  std::string f;  // F, sent when not empty (the terminal's own data; hosts ignore it)
  std::string g;  // G, chip data: hex text, each tag followed by a decimal count of hex digits

  // Made-up cards.
  static constexpr std::string_view kTrack1 = "B4152000000000016^PRUEBA/TARJETA^3012101000000000";
  static constexpr std::string_view kTrack2 = "4152000000000016=30121010000000000";
  static constexpr std::string_view kArqc = "1122334455667788";
  static constexpr std::string_view kAid = "A0000000031010";

  static OptimumReading Stripe();
  static OptimumReading Chip();      // C "1", D "0", F and G with kArqc and kAid among them
  static OptimumReading Fallback();  // C "0", D "1"
  static OptimumReading Error(int number);
  static OptimumReading Silence();
  // The chip data Chip() sends.
  static std::string ChipData();
};

enum class PrinterStatus { kPrinted, kNoPaper, kResend, kSilent };

// One card request as the terminal read it.
struct OptimumCardRequest {
  std::string prompt;     // field A
  std::string date;       // B unpacked: DDMMYY
  std::string time;       // C unpacked: HHMM
  std::string amount;     // D unpacked: twelve digits
  std::string tip;        // E unpacked
  std::string f;          // F unpacked ("0484")
  std::string g;          // G unpacked ("00")
  std::string h;          // H unpacked ("00")
  bool complete = false;  // every field A to H present, in order, with its size
};

class OptimumPinPad : public PinPadSimulator {
 public:
  static constexpr std::string_view kDefaultSerial = "OPT00012345";

  explicit OptimumPinPad(std::string serial = std::string(kDefaultSerial));
  ~OptimumPinPad() override;

  // The answer to the next card request. Requests past the queue get the default reading.
  OptimumPinPad& Queue(OptimumReading reading);
  // The reading used when the queue is empty; by default "E54A11" (no card detected).
  OptimumPinPad& SetDefaultReading(OptimumReading reading);
  // The printer's answer to the next print text; past the queue it prints.
  OptimumPinPad& QueuePrinter(PrinterStatus status);
  // Called on the device thread with one line per event (no card data), for a console.
  void SetObserver(std::function<void(const std::string&)> observer);

  std::vector<OptimumCardRequest> CardRequests() const;
  std::vector<std::string> Notifications() const;  // B of each chip result: "00" or "01"
  std::vector<std::string> Displays() const;       // C50 texts, as received (Windows-1252)
  std::vector<std::string> PrintRequests() const;  // every print text received
  std::vector<std::string> Printed() const;        // those answered "printed"
  std::vector<std::string> Commands() const;       // commands in order; "print" for a text
  std::vector<std::string> Problems() const;       // frames and bytes it could not read
  int SerialRequests() const;

 protected:
  void OnUnit(const Unit& unit) override;

 private:
  void OnMessage(const OptimumMessage& message);
  void OnCardRequest(const OptimumMessage& message);
  void OnPrint(const std::string& text);
  void Note(const std::string& line);

  const std::string serial_;
  mutable std::mutex state_mutex_;
  std::deque<OptimumReading> readings_;
  std::optional<OptimumReading> default_reading_;
  std::deque<PrinterStatus> printer_;
  std::function<void(const std::string&)> observer_;
  std::vector<OptimumCardRequest> card_requests_;
  std::vector<std::string> notifications_;
  std::vector<std::string> displays_;
  std::vector<std::string> print_requests_;
  std::vector<std::string> printed_;
  std::vector<std::string> commands_;
  std::vector<std::string> problems_;
  int serial_requests_ = 0;
};

// How the simulated Optimum cuts what it receives: a print text "<vxv>" ... "</vxv>" is one
// unit, Optimum frames are units, any other byte is a unit of its own.
std::size_t OptimumPrinterFraming(std::string_view pending);

}  // namespace tovalix::sim
