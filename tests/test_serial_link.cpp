// The serial link through a real pseudo-terminal, with a scripted PIN pad on the far side.
// Deadlines run on a fast clock and are measured on it, never on the wall clock.
#include "drivers/ingenico/exchange.hpp"
#include "drivers/models.hpp"
#include "drivers/optimum/exchange.hpp"
#include "serial/serial_link.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "common/failure.hpp"
#include "serial/generales.hpp"
#include "sim/pinpad/scripted_pinpad.hpp"
#include "support/terminal_fixture.hpp"

namespace tovalix::serial {
namespace {

using namespace std::chrono_literals;
using sim::Delivery;
using sim::LengthFrame;
using sim::OptimumFrame;
using sim::Reply;
using sim::ScriptedPinPad;
using sim::TextFrame;
using sim::WithWrongLrc;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::string kAck(1, '\x06');
const std::string kNak(1, '\x15');
const std::string kEot(1, '\x04');

sim::Framing FramingOf(std::string_view tipo) {
  if (tipo == "Vx810") return sim::Vx810Framing;
  return tipo == "OPTIMUM" ? sim::OptimumFraming : sim::LengthFraming;
}

// The host's loop, which holds the link back while the PIN pad has not yet written all of an
// answer the link has begun to receive: a pause between two pieces then never passes for a
// quiet line (100 real ms at least), however loaded the machine.
class HoldingOperator : public testing::RecordingOperator {
 public:
  void Pump() override {
    RecordingOperator::Pump();
    if (pad == nullptr || !link->LectorActivo() || link->BufferRecepcion().empty()) return;
    for (int i = 0; i < 5000 && pad->BytesSent() < sent; ++i) std::this_thread::sleep_for(1ms);
  }
  const SerialLink* link = nullptr;
  const sim::PinPadSimulator* pad = nullptr;
  std::size_t sent = 0;  // bytes the pad will have written once the answer is whole
};

class SerialLinkTest : public ::testing::Test {
 protected:
  void Open(const ScriptedPinPad& pad, std::string_view tipo) {
    link.SetFormat(drivers::FindModel(tipo)->format);
    link.Abre(pad.PortPath());
  }
  // A command as `tipo`'s driver hands it over: Ingenico ones as hex text, spaced or compact.
  static std::string Hand(std::string_view tipo, const std::string& command) {
    std::string hex = TextoAHex(command);
    if (tipo == "INGENICO3070") std::erase(hex, ' ');
    return tipo == "IPP320" || tipo == "INGENICO3070" ? hex : command;
  }
  // The framed exchange of `tipo`'s driver (the Optimum has its own).
  std::int16_t Recibe(std::string_view tipo, const std::string& command, std::string_view code) {
    if (tipo == "OPTIMUM") return drivers::optimum::EnviaRecibeOptimum(link, command, code);
    return link.EnviaRecibe(Hand(tipo, command), code);
  }
  // `call` returns `result` once the fast clock has passed `deadline` seconds, and not long after.
  void ExpectDeadline(double deadline, std::int16_t result,
                      const std::function<std::int16_t()>& call) {
    const double start = clock.Now();
    EXPECT_EQ(call(), result);
    EXPECT_GE(clock.Now() - start, deadline);
    EXPECT_LT(clock.Now() - start, deadline + 6);
  }

  testing::TerminalFixture terminal;  // the log in a scratch folder
  HoldingOperator op;
  platform::FastClock clock{50};
  SerialLink link{op, clock};
};

// `frame` (STX, three-letter command, two length bytes...) with its length field set to
// `length` and its LRC made right again.
std::string Relength(std::string frame, std::size_t length) {
  frame[4] = static_cast<char>(length >> 8);
  frame[5] = static_cast<char>(length & 0xFF);
  frame.back() = sim::Lrc(std::string_view(frame).substr(1, frame.size() - 3));
  return frame;
}

// One exchange per row: EnviaComando when the row expects no answer code, EnviaRecibe
// otherwise. The PIN pad's replies answer the command, then each NAK (EnviaRecibe) or each
// command written again (EnviaComando); after them the PIN pad expects ACK when the answer is
// taken, EOT after the fourth wrong frame, and nothing after a time-out.
TEST_F(SerialLinkTest, ExchangesWithTheirAcknowledgements) {
  const std::string stx = "\x02";
  const std::string ic0 = LengthFrame("IC0", "00 card");
  const std::string bad = WithWrongLrc(ic0);
  const std::string c30 = TextFrame(std::string("C3021\x00\x04", 7) + "4152");
  const std::string i020 = TextFrame("I020");
  const std::string big = LengthFrame("IC0", std::string(1016, 'x'));  // two full read chunks
  const std::string cf1 = LengthFrame("CF1", "12345678");
  const Delivery paced = Delivery().WithGarbage(std::string("\xFF\x00\x02", 3)).Paced();
  struct Case {
    const char* tipo;
    std::string code;
    std::int16_t result;
    std::string buffer;  // BufferRecepcion afterwards: an answer alone
    std::vector<std::string> replies;
    Delivery last{};  // how the last reply travels
  };
  const Case cases[] = {
      // EnviaComando: Ingenico commands are hex text and travel as bytes, others as written.
      // An ACK among other bytes counts, in the same read or in a later one; a NAK makes it
      // write again; an EOT ends it at once, the reader left on.
      {"IPP320", "", 1, kAck, {kAck}},
      {"Vx810", "", 1, "xy\x06z", {"xy\x06z"}},
      {"Vx810", "", 1, "\x10\x11\x20\x06", {"\x10\x11\x20\x06"}, Delivery().SplitAt({2}, 3ms)},
      {"Vx810", "", 1, kAck, {kNak, kNak, kAck}},
      {"Vx810", "", 0, kEot, {kEot}},
      // EnviaRecibe: four wrong frames get NAK, NAK, NAK, EOT; a right one after three NAKs is
      // taken.
      {"IPP320", "494330", 0, "", {bad, bad, bad, bad}},
      {"IPP320", "494330", 1, ic0, {kAck + bad, bad, bad, ic0}, Delivery().SplitAt({3, 7}, 2ms)},
      // An answer to another command is a wrong frame.
      {"IPP320", "494331", 0, "", {ic0, ic0, ic0, ic0}},
      // Four bytes are never judged, right as they are.
      {"Vx810", "41", 0, TextFrame("A"), {TextFrame("A")}},
      // Garbage ending like a frame is judged wrong once the line is quiet.
      {"Vx810", "493032", 1, i020, {"\x7F\x7E\x7D\x03\x11", i020}},
      // Lengths that disagree with the bytes make a wrong frame.
      {"IPP320", "494330", 1, ic0, {Relength(ic0, 11), ic0}},
      {"IPP320", "494330", 1, ic0, {Relength(ic0, 5), ic0}},
      // False starts in the noise before the answer: announcing 256 bytes, or of no length.
      {"IPP320", "494330", 1, ic0, {stx + "IC0\x01" + '\0' + ic0}},
      {"Vx810", "433330", 1, c30, {stx + "C3" + c30}},
      {"Vx810", "433330", 1, c30, {stx + "C3021\x01" + '\0' + c30}},
      // Answers that fill whole read chunks; noise around the answer; bytes paced at 19200 baud.
      {"IPP320", "494330", 1, big, {big}},
      {"IPP320", "494330", 1, ic0, {"\x15zz" + ic0 + "\x06zz"}},
      {"INGENICO3070", "434631", 1, cf1, {cf1}, paced},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("row " + std::to_string(&c - cases));
    const bool comando = c.code.empty();
    const std::string command = LengthFrame("IC0", "");
    ScriptedPinPad pad(FramingOf(c.tipo));
    for (std::size_t i = 0; i < c.replies.size(); ++i) {
      pad.Expect(i == 0 || comando ? command : kNak,
                 {Reply{c.replies[i], i + 1 == c.replies.size() ? c.last : Delivery()}});
    }
    const bool closing = !comando && (c.result == 1 || c.replies.size() == 4);
    if (closing) pad.Expect(c.result == 1 ? kAck : kEot);
    Open(pad, c.tipo);
    EXPECT_EQ(comando ? link.EnviaComando(Hand(c.tipo, command)) : Recibe(c.tipo, command, c.code),
              c.result);
    EXPECT_EQ(link.BufferRecepcion(), c.buffer);
    EXPECT_EQ(link.LectorActivo(), comando && c.buffer == kEot);
    pad.WaitForUnits(c.replies.size() + (closing ? 1 : 0));
    EXPECT_THAT(pad.Mismatches(), IsEmpty());  // a NAK where none was due shows here
    EXPECT_EQ(pad.StepsLeft(), 0u);
    EXPECT_THAT(op.shown, IsEmpty());
  }
}

// The Optimum's answers the sale flows never give: the acceptance and the answer in one write,
// "P60", a refusal to EnviaOptimum (decided at once, not at the deadline), a short "vxv" status
// in pieces and a frame in pieces (decided whole, or its tail would spill into the next exchange).
TEST_F(SerialLinkTest, OptimumAnswersTheFlowsNeverGive) {
  const std::string c54 = OptimumFrame("C54");
  const std::string answer = OptimumFrame(
      "P54Atrack\x1C"
      "B0");
  struct Case {
    bool recibe;  // EnviaRecibeOptimum, else EnviaOptimum
    std::string reply;
    Delivery delivery;
    std::int16_t result;
    std::string buffer;  // BufferRecepcion afterwards
  };
  const Case cases[] = {
      {true, OptimumFrame("P54A00") + answer, {}, 0, answer},
      {true, OptimumFrame("P60"), {}, 0, OptimumFrame("P60")},
      {false, OptimumFrame("E54A"), {}, 0, OptimumFrame("E54A")},
      {false, "vxv7", Delivery().SplitAt({3}, 3ms), 7, "vxv7"},
      {false, OptimumFrame("P54A"), Delivery().SplitAt({8}, 3ms), 1, OptimumFrame("P54A")},
  };
  ScriptedPinPad pad(sim::OptimumFraming);
  for (const Case& c : cases) pad.Expect(c54, {Reply{c.reply, c.delivery}});
  Open(pad, "OPTIMUM");
  op.link = &link;
  op.pad = &pad;
  for (const Case& c : cases) {
    SCOPED_TRACE(sim::Hex(c.reply));
    op.sent = pad.BytesSent() + c.reply.size();
    const double start = clock.Now();
    EXPECT_EQ(c.recibe ? drivers::optimum::EnviaRecibeOptimum(link, c54, "54")
                       : drivers::optimum::EnviaOptimum(link, c54, "54"),
              c.result);
    EXPECT_EQ(link.BufferRecepcion(), c.buffer);
    EXPECT_FALSE(link.LectorActivo());
    EXPECT_LT(clock.Now() - start, 10) << "waited for the deadline";
  }
  EXPECT_THAT(pad.Mismatches(), IsEmpty());
  EXPECT_EQ(pad.StepsLeft(), 0u);
  EXPECT_THAT(op.shown, IsEmpty());
}

// Every primitive's deadline, on a PIN pad that stays silent (or only ever NAKs); a time-out
// sends neither NAK nor EOT.
TEST_F(SerialLinkTest, DeadlinesOfThePrimitives) {
  const std::string c72 = TextFrame("72");
  ScriptedPinPad stubborn;
  stubborn.Otherwise({Reply{kNak, Delivery().Delayed(2ms)}});
  Open(stubborn, "Vx810");
  ExpectDeadline(15, 0, [&] { return link.EnviaComando(c72); });
  EXPECT_FALSE(link.LectorActivo());

  ScriptedPinPad silent(sim::LengthFraming);
  silent.Otherwise({});
  Open(silent, "IPP320");
  const std::string kbd = LengthFrame("KBD", "PW\x04\x03\x01\x01");
  ExpectDeadline(33, 0,
                 [&] { return drivers::ingenico::EnviaRecibe(link, TextoAHex(kbd), "4B4244"); });
  const std::string cf1 = LengthFrame("CF1", "");
  ExpectDeadline(20, 0,
                 [&] { return drivers::ingenico::EnviaRecibe(link, TextoAHex(cf1), "434631"); });
  silent.WaitForUnits(2);
  EXPECT_EQ(silent.ReceivedBytes(), kbd + cf1);

  // The Optimum pauses a second first; a frame with a wrong LRC is no answer, and not NAKed.
  const std::string c54 = OptimumFrame("C54");
  ScriptedPinPad optimum(sim::OptimumFraming);
  optimum.Expect(c54, {Reply{WithWrongLrc(OptimumFrame("P54Ax"))}}).Otherwise({});
  Open(optimum, "OPTIMUM");
  for (int i = 0; i < 2; ++i) {
    ExpectDeadline(51, 99, [&] { return drivers::optimum::EnviaRecibeOptimum(link, c54, "54"); });
  }
  ExpectDeadline(31, 0, [&] { return drivers::optimum::EnviaOptimum(link, c54, "54"); });
  optimum.WaitForUnits(3);
  EXPECT_EQ(optimum.ReceivedBytes(), c54 + c54 + c54);
  EXPECT_THAT(op.shown, IsEmpty());
}

// --- failures of the port ------------------------------------------------------------------

TEST_F(SerialLinkTest, AHangUpMidFrameIsReportedAndGivesTheFailureValue) {
  if (!sim::LineShowsHangUp()) GTEST_SKIP() << "a null-modem pair of COM ports never hangs up";
  const std::string command = LengthFrame("IC0", "");
  ScriptedPinPad pad(sim::LengthFraming);
  pad.Expect(command, {Reply{LengthFrame("IC0", "0123456789"), Delivery().HangUpAfter(7)}});
  Open(pad, "IPP320");
  EXPECT_EQ(link.EnviaRecibe(TextoAHex(command), "494330"), 0);
  ASSERT_EQ(op.shown.size(), 1u);
  EXPECT_THAT(op.shown[0].text, HasSubstr("se desconectó"));
  EXPECT_EQ(op.shown[0].style, Operator::kPlain);
  EXPECT_FALSE(link.LectorActivo());
  EXPECT_THAT(terminal.LogText(), HasSubstr("se desconectó"));
  // The line stays dead: the next primitive fails the same way instead of hanging.
  EXPECT_EQ(link.EnviaComando(TextoAHex(command)), 0);
  EXPECT_EQ(op.shown.size(), 2u);
}

TEST_F(SerialLinkTest, PrimitivesOnAClosedPortReportAndFail) {
  EXPECT_EQ(link.EnviaComando("x"), 0);
  EXPECT_EQ(link.EnviaRecibe("x", "78"), 0);
  EXPECT_EQ(drivers::optimum::EnviaRecibeOptimum(link, "x", "54"), 99);
  EXPECT_EQ(drivers::optimum::EnviaOptimum(link, "x", "54"), 0);
  EXPECT_EQ(op.shown.size(), 4u);
  EXPECT_THAT(op.Texts()[0], HasSubstr("puerto está abierto"));
  EXPECT_THROW(link.Abre((terminal.folder() / "no-such-port").string()), Failure);
  std::ofstream(terminal.folder() / "not-a-tty") << "x";
  EXPECT_THROW(link.Abre((terminal.folder() / "not-a-tty").string()), Failure);
  EXPECT_FALSE(link.EstaAbierto());
}

// A COMn name is the native port n-1; any other name is a device path.
TEST_F(SerialLinkTest, PortNames) {
#ifdef _WIN32
  GTEST_SKIP() << "COMn is the system's own port on Windows";
#endif
  testing::ScopedEnv prefix("TOVALIX_NATIVE_PORT_PREFIX", std::nullopt);
  EXPECT_EQ(SerialLink::RutaDePuerto("COM3"), "/dev/ttyS2");
  EXPECT_EQ(SerialLink::RutaDePuerto("/dev/ttyACM0"), "/dev/ttyACM0");
  for (const char* wrong : {"COM", "COMx", "COM0"}) {
    EXPECT_THROW(SerialLink::RutaDePuerto(wrong), Failure) << wrong;
  }
}

// --- frames in pieces -----------------------------------------------------------------------

// A frame with 03 inside its data and 03 as its LRC, built so that the bytes up to an inner
// 03 and the byte after it look like a whole frame with a right LRC to a check that only
// looks at the second-to-last byte. `head` is what precedes the data (command, length...).
std::string Treacherous(std::string_view stx_and_head, std::size_t data_size) {
  // Trap: the body so far, then ETX, then the LRC of that body.
  std::string frame(stx_and_head);
  frame += '\x10';
  const char trap_lrc = sim::Lrc(std::string_view(frame).substr(1));
  frame += '\x03';
  frame += trap_lrc;
  frame += "\x02\x41\x03\x02";  // more STX and ETX in the data
  while (frame.size() < stx_and_head.size() + data_size - 1) frame += '\x55';
  // Last data byte: makes the exclusive-or of the body 0, so the LRC is 03.
  char fix = 0;
  for (std::size_t i = 1; i < frame.size(); ++i) fix = static_cast<char>(fix ^ frame[i]);
  frame += fix;
  frame += '\x03';
  frame += sim::Lrc(std::string_view(frame).substr(1, frame.size() - 2));
  return frame;
}

TEST_F(SerialLinkTest, FramesSplitAtEveryPointAreTakenWholeOnTheFirstTry) {
  struct Case {
    const char* tipo;
    std::string answer;
    const char* code;
  };
  const Case cases[] = {
      {"IPP320", Treacherous(std::string("\002IC0\000\014", 6), 12), "494330"},
      {"Vx810", Treacherous(std::string("\002C33\000\016", 6), 14), "4333"},
      {"Vx810", Treacherous(std::string("\002C3021\000\013", 8), 11), "433330"},
      {"Vx810", TextFrame("I02K"), "493032"},
      {"OPTIMUM", Treacherous("\002018P54A", 14), "54"},  // 18: "P54A" and 14 bytes
  };
  op.link = &link;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tipo) + " " + sim::Hex(c.answer));
    const bool optimum = std::string(c.tipo) == "OPTIMUM";
    const std::string command = optimum ? OptimumFrame("C54") : LengthFrame("IC0", "");
    ScriptedPinPad pad(FramingOf(c.tipo));
    for (std::size_t cut = 1; cut < c.answer.size(); ++cut) {
      pad.Expect(command, {Reply{c.answer, Delivery().SplitAt({cut}, 3ms)}});
      if (!optimum) pad.Expect(kAck);
    }
    Open(pad, c.tipo);
    op.pad = &pad;
    for (std::size_t cut = 1; cut < c.answer.size(); ++cut) {
      SCOPED_TRACE("cut at " + std::to_string(cut));
      op.sent = pad.BytesSent() + c.answer.size();
      ASSERT_EQ(Recibe(c.tipo, command, c.code), optimum ? 0 : 1);
      ASSERT_EQ(link.BufferRecepcion(), c.answer);
    }
    op.pad = nullptr;
    pad.WaitForUnits((optimum ? 1 : 2) * (c.answer.size() - 1));
    EXPECT_THAT(pad.Mismatches(), IsEmpty());  // a NAK or an EOT would show here
    EXPECT_EQ(pad.StepsLeft(), 0u);
  }
}

// --- the completeness rule alone ----------------------------------------------------------

TEST(FrameScan, FindsWholeFramesByStructureOnly) {
  const std::string ingenico = LengthFrame("IC0", std::string("\x02IC0\x00\x00\x03\x7F", 8));
  // The STX inside the data must not pass for a short frame while the outer one is unfinished.
  for (std::size_t size = 1; size < ingenico.size(); ++size) {
    EXPECT_EQ(ScanFrame(FrameShape::kIngenico, ingenico.substr(0, size)).state, FrameScan::kPartial)
        << size;
  }
  const FrameScan whole = ScanFrame(FrameShape::kIngenico, "\x06zz" + ingenico);
  EXPECT_EQ(whole.state, FrameScan::kComplete);
  EXPECT_EQ(whole.begin, 3u);
  EXPECT_EQ(whole.end, 3 + ingenico.size());
  EXPECT_EQ(ScanFrame(FrameShape::kIngenico, "no frame\x03x").state, FrameScan::kNone);
  // A length that lies (no ETX where it ends) is no frame: the one inside the data is.
  EXPECT_EQ(ScanFrame(FrameShape::kIngenico, Relength(ingenico, 1)).begin, 6u);
  EXPECT_EQ(ScanFrame(FrameShape::kOptimum, "\0020a3xyz\x03\x01").state, FrameScan::kNone);
  EXPECT_EQ(ScanFrame(FrameShape::kOptimum, OptimumFrame("P60")).state, FrameScan::kComplete);
  EXPECT_EQ(ScanFrame(FrameShape::kText, "\x02I02").state, FrameScan::kPartial);
}

}  // namespace
}  // namespace tovalix::serial
