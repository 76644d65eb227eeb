// A simulated VeriFone Vx810 on a pty: it wakes up on ENQ, reports busy or idle to I02, takes
// 72, answers C23, reads cards for C30 (a swipe with its tracks, or a status alone), gives the
// chip data for C31 (a C33 answer with 5F30, 5F20, 57, 5F24, 9F27, 8A and the E2 template),
// takes the chip completion C34, shows Z2 texts (recorded) and tells its serial number to
// "06". Card readings come from a per-sale script; frames are built and read here, with the
// simulator framework's framing, never with the driver's command set.
//
//   Vx810Simulator pad;
//   pad.QueueChipSale();                    // next C30: chip inserted; next C31: approved data
//   link.Abre(pad.PortPath());  ...
//   pad.Displays(), pad.Commands(), pad.C34Data()
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "sim/pinpad/pinpad_simulator.hpp"

namespace tovalix::sim {

// The chip data a C33 answer carries. Byte values are given as hex digits ("0201").
struct Vx810ChipCard {
  std::string service_code = "0201";                        // 5F30; "" leaves the element out
  std::string name = "PRUEBA/TARJETA";                      // 5F20, as text
  std::string track2 = "4152000011112222D31122010123456F";  // 57 (made-up card)
  std::string expiry = "311231";                            // 5F24, YYMMDD
  std::string cryptogram_info = "80";                       // 9F27
  std::string aut_code = "3030";                            // 8A; "" gives length zero
  std::string emv{kSampleEmv};                              // the E2 template's content
  // ARQC 1122334455667788, AID A0000000031010, date 240305 (9A, never copied), ATC 002A.
  static constexpr std::string_view kSampleEmv =
      "9F26081122334455667788"
      "8407A0000000031010"
      "9A03240305"
      "9F3602002A"
      "9F0206000000012550"
      "5F2A020484";
};

// One answer frame of the PIN pad to a card read (C30) or a chip data request (C31).
struct Vx810Answer {
  std::string frame;

  // C30 "21": two length bytes, track 2, 0x01, track 1.
  static Vx810Answer Swipe(std::string_view track2, std::string_view track1,
                           std::string_view status = "21");
  // `command` ("C30", "C31") and a status alone, without a length.
  static Vx810Answer Status(std::string_view command, std::string_view status);
  // C33 with the card's elements.
  static Vx810Answer Chip(const Vx810ChipCard& card, std::string_view status = "00");

  // The same answer with `high` and `low` in the two bytes after the status (what our reading
  // takes for a data length; the PIN pad may put anything there), its LRC made anew.
  Vx810Answer AfterStatus(char high, char low) const;
};

class Vx810Simulator : public PinPadSimulator {
 public:
  Vx810Simulator();
  ~Vx810Simulator() override;

  // --- Script (safe while the device runs) ------------------------------------------------
  // What ENQ gets: ACK by default; "" is silence, "\x04" a refusal.
  void SetEnqReply(std::string bytes);
  // The next `count` I02 requests are answered 1 (busy), later ones 0 (idle).
  void SetI02Busy(std::size_t count);
  // The digit after "C23" in the C23 answer ('0' by default).
  void SetC23Code(char code);
  // The text after "06" in the serial answer: five characters of the PIN pad's own, then the
  // serial number ("VX810801-234-567" by default).
  void SetSerialAnswer(std::string text);
  // Answers to the next C30 / C31 requests, in order.
  void QueueC30(Vx810Answer answer);
  void QueueC31(Vx810Answer answer);
  // Answers once the queues are empty: C30 "06" (no card came) and C31 "C31" "99".
  void SetC30Default(Vx810Answer answer);
  void SetC31Default(Vx810Answer answer);
  // How answer frames go out (split, paced...).
  void SetAnswerDelivery(Delivery how);
  // Called on the device thread with one line per event ("C30", "display: ...").
  void SetObserver(std::function<void(const std::string&)> observer);

  // A sale's card: chip inserted, then its data approved (status 00).
  void QueueChipSale(const Vx810ChipCard& card = {});
  // A swiped card.
  void QueueStripeSale(std::string_view track2, std::string_view track1);
  // A card read that ends in `status` alone ("24" blocked, "08" cancelled, "06" no card).
  void QueueCardStatus(std::string_view status);

  // --- What the device saw (thread-safe copies) -------------------------------------------
  // One name per command received: "ENQ", "I02", "72", "C23", "C30", "C31", "C34", "Z2",
  // "06"; "?" for a frame it did not know, "LRC" for a frame with a wrong LRC.
  std::vector<std::string> Commands() const;
  std::size_t Count(std::string_view command) const;
  // The texts shown with Z2, in order.
  std::vector<std::string> Displays() const;
  // The data of every C34, in order.
  std::vector<std::string> C34Data() const;

 protected:
  void OnUnit(const Unit& unit) override;

 private:
  void Note(std::string command);
  void Answer(const std::string& frame);
  std::string NextCardAnswer(std::deque<Vx810Answer>& queue, const Vx810Answer& fallback);

  mutable std::mutex state_;
  std::string enq_reply_ = "\x06";
  std::size_t i02_busy_ = 0;
  char c23_code_ = '0';
  std::string serial_answer_ = "VX810801-234-567";
  std::deque<Vx810Answer> c30_;
  std::deque<Vx810Answer> c31_;
  Vx810Answer c30_default_;
  Vx810Answer c31_default_;
  Delivery answer_delivery_;
  std::function<void(const std::string&)> observer_;
  std::vector<std::string> commands_;
  std::vector<std::string> displays_;
  std::vector<std::string> c34_data_;
  std::string last_answer_;  // device thread: sent again on NAK
};

}  // namespace tovalix::sim
