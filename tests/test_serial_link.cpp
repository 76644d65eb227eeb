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
#include <random>

#include "common/failure.hpp"
#include "serial/generales.hpp"
#include "sim/pinpad/scripted_pinpad.hpp"
#include "support/test_environment.hpp"

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
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::string kAck(1, '\x06');
const std::string kNakByte(1, '\x15');
const std::string kEotByte(1, '\x04');

class SerialLinkTest : public ::testing::Test {
 protected:
  void Open(const ScriptedPinPad& pad, std::string_view tipo) {
    link.SetFormat(drivers::FindModel(tipo)->format);
    link.Abre(pad.PortPath());
  }
  // Seconds of the fast clock that `body` took.
  template <typename Body>
  double Took(Body&& body) {
    const double start = clock.Now();
    body();
    return clock.Now() - start;
  }
  static std::vector<std::string> Received(const ScriptedPinPad& pad, std::size_t expected) {
    pad.WaitForUnits(expected);
    std::vector<std::string> units;
    for (const auto& unit : pad.Units()) units.push_back(unit.bytes);
    return units;
  }

  testing::ScratchFolder logs;
  testing::ScopedEnv log_dir{"TOVALIX_LOG_DIR", logs.path().string()};
  testing::RecordingOperator op;
  platform::FastClock clock{50};
  SerialLink link{op, clock};
};

// --- EnviaComando -------------------------------------------------------------------------

TEST_F(SerialLinkTest, IngenicoCommandsTravelAsBytesOtherModelsAsWritten) {
  const std::string cf1 = LengthFrame("CF1", "");
  ScriptedPinPad ingenico(sim::LengthFraming);
  ingenico.Expect(cf1, {Reply{kAck}}).Expect(cf1, {Reply{kAck}});
  Open(ingenico, "IPP320");
  EXPECT_EQ(link.EnviaComando(TextoAHex(cf1)), 1);  // spaced hex
  std::string compact = TextoAHex(cf1);
  std::erase(compact, ' ');
  EXPECT_EQ(link.EnviaComando(compact), 1);
  EXPECT_THAT(ingenico.Mismatches(), IsEmpty());
  EXPECT_FALSE(link.LectorActivo());

  const std::string i02 = TextFrame("I02");
  ScriptedPinPad vx(sim::TextFraming);
  vx.Expect(i02, {Reply{kAck}});
  Open(vx, "Vx810");
  EXPECT_EQ(link.EnviaComando(i02), 1);
  EXPECT_THAT(vx.Mismatches(), IsEmpty());
}

TEST_F(SerialLinkTest, AnAckAmongOtherBytesCounts) {
  const std::string command = TextFrame("72");
  ScriptedPinPad pad;
  pad.Expect(command, {Reply{"xy\x06z"}})
      .Expect(command, {Reply{"\x10\x11"}, Reply{"\x20\x06", Delivery().Delayed(3ms)}});
  Open(pad, "Vx810");
  EXPECT_EQ(link.EnviaComando(command), 1);
  EXPECT_EQ(link.BufferRecepcion(), "xy\x06z");
  EXPECT_EQ(link.EnviaComando(command), 1);
  EXPECT_THAT(pad.Mismatches(), IsEmpty());
}

TEST_F(SerialLinkTest, NakMakesEnviaComandoWriteAgainUntilItsDeadline) {
  const std::string command = TextFrame("72");
  ScriptedPinPad stubborn;
  stubborn.Otherwise({Reply{kNakByte, Delivery().Delayed(2ms)}});
  Open(stubborn, "Vx810");
  std::int16_t result = -1;
  const double took = Took([&] { result = link.EnviaComando(command); });
  EXPECT_EQ(result, 0);
  EXPECT_GE(took, SerialLink::kPlazoComando);
  EXPECT_LT(took, SerialLink::kPlazoComando + 6);
  const auto units = stubborn.Units();
  ASSERT_GE(units.size(), 3u);
  for (const auto& unit : units) EXPECT_EQ(unit.bytes, command);
  EXPECT_FALSE(link.LectorActivo());

  ScriptedPinPad relents;
  relents.Expect(command, {Reply{kNakByte}}).Expect(command, {Reply{kAck}});
  Open(relents, "Vx810");
  EXPECT_EQ(link.EnviaComando(command), 1);
  EXPECT_THAT(Received(relents, 2), ElementsAre(command, command));
}

TEST_F(SerialLinkTest, EotEndsEnviaComandoAtOnceAndLeavesTheReaderOn) {
  ScriptedPinPad pad;
  pad.Expect(TextFrame("72"), {Reply{kEotByte}});
  Open(pad, "Vx810");
  std::int16_t result = -1;
  const double took = Took([&] { result = link.EnviaComando(TextFrame("72")); });
  EXPECT_EQ(result, 0);
  EXPECT_LT(took, 10);
  EXPECT_TRUE(link.LectorActivo());
}

// --- EnviaRecibe --------------------------------------------------------------------------

TEST_F(SerialLinkTest, FourWrongFramesGetNakNakNakEot) {
  const std::string command = LengthFrame("IC0", "\x01\x02");
  const std::string answer = LengthFrame("IC0", "00 card");
  const std::string bad = WithWrongLrc(answer);
  ScriptedPinPad pad(sim::LengthFraming);
  pad.Expect(command, {Reply{bad}})
      .Expect(kNakByte, {Reply{bad}})
      .Expect(kNakByte, {Reply{bad}})
      .Expect(kNakByte, {Reply{bad}})
      .Expect(kEotByte);
  Open(pad, "INGENICO3070");
  EXPECT_EQ(link.EnviaRecibe(TextoAHex(command), "494330"), 0);
  EXPECT_EQ(link.BufferRecepcion(), "");
  EXPECT_FALSE(link.LectorActivo());
  EXPECT_THAT(Received(pad, 5), ElementsAre(command, kNakByte, kNakByte, kNakByte, kEotByte));
  EXPECT_THAT(pad.Mismatches(), IsEmpty());
}

TEST_F(SerialLinkTest, AFrameRightAfterThreeNaksIsAcknowledged) {
  const std::string command = LengthFrame("IC0", "");
  const std::string answer = LengthFrame("IC0", "00 card");
  ScriptedPinPad pad(sim::LengthFraming);
  pad.Expect(command, {Reply{kAck + WithWrongLrc(answer)}})
      .Expect(kNakByte, {Reply{WithWrongLrc(answer)}})
      .Expect(kNakByte, {Reply{"garbage" + answer}})  // wrong code before it: still NAK
      .Expect(kNakByte, {Reply{answer, Delivery().SplitAt({3, 7}, 2ms)}})
      .Expect(kAck);
  Open(pad, "IPP320");
  EXPECT_EQ(link.EnviaRecibe(TextoAHex(command), "494331"), 0);  // expects IC1: never right
  ScriptedPinPad good(sim::LengthFraming);
  good.Expect(command, {Reply{kAck + WithWrongLrc(answer)}})
      .Expect(kNakByte, {Reply{WithWrongLrc(answer)}})
      .Expect(kNakByte, {Reply{WithWrongLrc(answer)}})
      .Expect(kNakByte, {Reply{answer, Delivery().SplitAt({3, 7}, 2ms)}})
      .Expect(kAck);
  Open(good, "IPP320");
  EXPECT_EQ(link.EnviaRecibe(TextoAHex(command), "494330"), 1);
  EXPECT_EQ(link.BufferRecepcion(), answer);
  EXPECT_THAT(Received(good, 5), ElementsAre(command, kNakByte, kNakByte, kNakByte, kAck));
  EXPECT_THAT(good.Mismatches(), IsEmpty());
}

TEST_F(SerialLinkTest, KeyboardEntryWaits33SecondsOtherCommands20) {
  ScriptedPinPad silent(sim::LengthFraming);
  silent.Otherwise({});
  Open(silent, "IPP320");
  const std::string kbd = LengthFrame("KBD", "PW\x04\x03\x01\x01");
  std::int16_t result = -1;
  double took =
      Took([&] { result = drivers::ingenico::EnviaRecibe(link, TextoAHex(kbd), "4B4244"); });
  EXPECT_EQ(result, 0);
  EXPECT_GE(took, drivers::ingenico::kPlazoTeclado);
  EXPECT_LT(took, drivers::ingenico::kPlazoTeclado + 6);

  took = Took([&] {
    result = drivers::ingenico::EnviaRecibe(link, TextoAHex(LengthFrame("CF1", "")), "434631");
  });
  EXPECT_EQ(result, 0);
  EXPECT_GE(took, SerialLink::kPlazoRecibe);
  EXPECT_LT(took, SerialLink::kPlazoRecibe + 6);

  // Only the Ingenico commands are hex text; a Vx810 text that spells 4B4244 waits 20 s.
  ScriptedPinPad vx;
  vx.Otherwise({});
  Open(vx, "Vx810");
  took = Took([&] { result = link.EnviaRecibe(TextFrame("4B4244"), "4B4244"); });
  EXPECT_LT(took, SerialLink::kPlazoRecibe + 6);
  // A time-out sends neither NAK nor EOT.
  EXPECT_THAT(Received(silent, 2), ElementsAre(kbd, LengthFrame("CF1", "")));
}

TEST_F(SerialLinkTest, ABufferOfFourCharactersOrFewerIsNeverJudged) {
  const std::string command = TextFrame("Q40");
  ScriptedPinPad pad;
  pad.Expect(command, {Reply{TextFrame("A")}});  // whole and right, but four bytes
  Open(pad, "Vx810");
  EXPECT_EQ(link.EnviaRecibe(command, "41"), 0);
  EXPECT_EQ(link.BufferRecepcion(), TextFrame("A"));
  EXPECT_THAT(Received(pad, 1), ElementsAre(command));  // no ACK, no NAK
}

TEST_F(SerialLinkTest, GarbageWithoutAFrameIsJudgedOnlyAfterTheLineIsQuiet) {
  const std::string command = TextFrame("I02");
  const std::string answer = TextFrame("I020");
  ScriptedPinPad pad;
  // Noise that ends like a frame (ETX and one byte) but has no frame in it: NAKed once the
  // line has been quiet, and the repeated answer is taken.
  pad.Expect(command, {Reply{"\x7F\x7E\x7D\x03\x11"}}).Expect(kNakByte, {Reply{answer}});
  pad.Expect(kAck);
  Open(pad, "Vx810");
  EXPECT_EQ(link.EnviaRecibe(command, "493032"), 1);
  EXPECT_EQ(link.BufferRecepcion(), answer);
  EXPECT_THAT(Received(pad, 3), ElementsAre(command, kNakByte, kAck));
}

// `frame` (STX, three-letter command, two length bytes...) with its length field set to
// `length` and its LRC made right again.
std::string Relength(std::string frame, std::size_t length) {
  frame[4] = static_cast<char>(length >> 8);
  frame[5] = static_cast<char>(length & 0xFF);
  frame.back() = sim::Lrc(std::string_view(frame).substr(1, frame.size() - 3));
  return frame;
}

struct Sorting {
  const char* what;
  const char* tipo;
  std::string first;   // what the PIN pad sends first
  std::string answer;  // the right answer
  bool naked;          // the first sending is a wrong frame
};

TEST_F(SerialLinkTest, TheAnswerIsSortedOutOfLyingLengthsAndFalseStarts) {
  const std::string stx = "\x02";
  const std::string ic0 = LengthFrame("IC0", "00 card");
  const std::string c30 = TextFrame(std::string("C3021\x00\x04", 7) + "4152");
  const std::string big = LengthFrame("IC0", std::string(504, 'x'));  // one full read chunk
  const std::string bigger = LengthFrame("IC0", std::string(1016, 'x'));
  const std::vector<Sorting> cases = {
      {"length longer than the bytes", "IPP320", Relength(ic0, 11), ic0, true},
      {"length shorter than the bytes", "IPP320", Relength(ic0, 5), ic0, true},
      {"a false start announcing 256 bytes", "IPP320", stx + "IC0\x01" + '\0' + ic0, ic0, false},
      {"a false start of unknown length", "Vx810", stx + "C3" + c30, c30, false},
      {"a false start announcing 256 bytes", "Vx810", stx + "C3021\x01" + '\0' + c30, c30, false},
      {"an answer of exactly 512 bytes", "IPP320", big, big, false},
      {"an answer of exactly 1024 bytes", "IPP320", bigger, bigger, false},
  };
  for (const Sorting& c : cases) {
    SCOPED_TRACE(std::string(c.tipo) + ": " + c.what);
    const bool vx = std::string(c.tipo) == "Vx810";
    const std::string command = vx ? LengthFrame("C30", "\xC1\x01\x15") : LengthFrame("IC0", "");
    ScriptedPinPad pad(vx ? sim::Vx810Framing : sim::LengthFraming);
    pad.Expect(command, {Reply{c.first}});
    if (c.naked) pad.Expect(kNakByte, {Reply{c.answer}});
    pad.Expect(kAck);
    Open(pad, c.tipo);
    EXPECT_EQ(link.EnviaRecibe(vx ? command : TextoAHex(command), vx ? "433330" : "494330"), 1);
    EXPECT_EQ(link.BufferRecepcion(), c.answer);  // the answer alone
    pad.WaitForUnits(c.naked ? 3 : 2);
    EXPECT_THAT(pad.Mismatches(), IsEmpty());  // a NAK where none was due shows here
    EXPECT_EQ(pad.StepsLeft(), 0u);
    EXPECT_THAT(op.shown, IsEmpty());
  }
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
  EXPECT_THAT(testing::ReadFile(logs / "tovalix.log"), HasSubstr("se desconectó"));

  // The line stays dead: the next primitive fails the same way instead of hanging.
  EXPECT_EQ(link.EnviaComando(TextoAHex(command)), 0);
  EXPECT_EQ(op.shown.size(), 2u);
  link.Cierra();
  EXPECT_FALSE(link.EstaAbierto());
}

TEST_F(SerialLinkTest, PrimitivesOnAClosedPortReportAndFail) {
  EXPECT_EQ(link.EnviaComando("x"), 0);
  EXPECT_EQ(link.EnviaRecibe("x", "78"), 0);
  EXPECT_EQ(drivers::optimum::EnviaRecibeOptimum(link, "x", "54"), 99);
  EXPECT_EQ(drivers::optimum::EnviaOptimum(link, "x", "54"), 0);
  EXPECT_EQ(op.shown.size(), 4u);
  EXPECT_THAT(op.Texts()[0], HasSubstr("puerto está abierto"));
  EXPECT_THROW(link.Abre(logs.path().string() + "/no-such-port"), Failure);
  const auto plain_file = logs / "not-a-tty";
  std::ofstream(plain_file) << "x";
  EXPECT_THROW(link.Abre(plain_file.string()), Failure);
  EXPECT_FALSE(link.EstaAbierto());
}

// --- port names and BuscaPuerto -------------------------------------------------------------

TEST_F(SerialLinkTest, PortNamesAndBuscaPuerto) {
#ifdef _WIN32
  GTEST_SKIP() << "COMn is the system's own port on Windows: no prefix stands in for it";
#endif
  testing::ScopedEnv prefix("TOVALIX_NATIVE_PORT_PREFIX", (logs / "ttyS").string());
  EXPECT_EQ(BuscaPuerto(op), 0);  // no ports at all
  EXPECT_EQ(SerialLink::RutaDePuerto("COM3"), (logs / "ttyS2").string());
  EXPECT_EQ(SerialLink::RutaDePuerto("/dev/ttyACM0"), "/dev/ttyACM0");
  EXPECT_THROW(SerialLink::RutaDePuerto("COM"), Failure);
  EXPECT_THROW(SerialLink::RutaDePuerto("COMx"), Failure);
  EXPECT_THROW(SerialLink::RutaDePuerto("COM0"), Failure);

  // ttyS0 exists but is no terminal, ttyS1 is missing, ttyS2 is a PIN pad: port 3.
  ScriptedPinPad pad;
  pad.Expect(TextFrame("72"), {Reply{kAck}});
  std::ofstream(logs / "ttyS0") << "not a port";
  std::filesystem::create_symlink(pad.PortPath(), logs / "ttyS2");
  EXPECT_EQ(BuscaPuerto(op), 3);
  link.SetFormat(drivers::FindModel("Vx810")->format);
  link.Abre("COM3");
  EXPECT_EQ(link.EnviaComando(TextFrame("72")), 1);
  EXPECT_THAT(op.shown, IsEmpty());
}

// --- the Optimum ----------------------------------------------------------------------------

TEST_F(SerialLinkTest, OptimumAcceptanceThenAnswer) {
  const std::string command = OptimumFrame("C54A...");
  const std::string answer = OptimumFrame(
      "P54Atrack\x1C"
      "B0");
  ScriptedPinPad pad(sim::OptimumFraming);
  pad.Expect(command, {Reply{OptimumFrame("P54A00")}, Reply{answer, Delivery().Delayed(5ms)}})
      .Expect(command, {Reply{OptimumFrame("P54A00") + answer}});  // both in one write
  Open(pad, "OPTIMUM");
  EXPECT_EQ(drivers::optimum::EnviaRecibeOptimum(link, command, "54"), 0);
  EXPECT_EQ(link.BufferRecepcion(), answer);
  EXPECT_EQ(drivers::optimum::EnviaRecibeOptimum(link, command, "54"), 0);
  EXPECT_EQ(link.BufferRecepcion(), answer);  // the answer after the acceptance is kept
  EXPECT_FALSE(link.LectorActivo());
  EXPECT_THAT(pad.Mismatches(), IsEmpty());
}

TEST_F(SerialLinkTest, OptimumRefusalsP60AndSilence) {
  const std::string command = OptimumFrame("C54");
  ScriptedPinPad pad(sim::OptimumFraming);
  pad.Expect(command, {Reply{OptimumFrame("E54A13")}})
      .Expect(command, {Reply{OptimumFrame("P54A00")}, Reply{OptimumFrame("E54A16")}})
      .Expect(command, {Reply{OptimumFrame("P60")}})
      .Expect(command, {Reply{WithWrongLrc(OptimumFrame("P54Ax"))}})
      .Expect(command);
  Open(pad, "OPTIMUM");
  EXPECT_EQ(drivers::optimum::EnviaRecibeOptimum(link, command, "54"), 13);
  EXPECT_EQ(drivers::optimum::EnviaRecibeOptimum(link, command, "54"), 16);
  EXPECT_EQ(drivers::optimum::EnviaRecibeOptimum(link, command, "54"), 0);
  std::int16_t result = -1;
  double took = Took([&] { result = drivers::optimum::EnviaRecibeOptimum(link, command, "54"); });
  EXPECT_EQ(result, 99);  // a frame with a wrong LRC is no answer; nothing is NAKed
  EXPECT_GE(took, 1 + drivers::optimum::kPlazoRecibeOptimum);
  took = Took([&] { result = drivers::optimum::EnviaRecibeOptimum(link, command, "54"); });
  EXPECT_EQ(result, 99);
  EXPECT_LT(took, 1 + drivers::optimum::kPlazoRecibeOptimum + 6);
  EXPECT_THAT(Received(pad, 5), ElementsAre(command, command, command, command, command));
  EXPECT_THAT(op.shown, IsEmpty());
}

TEST_F(SerialLinkTest, EnviaOptimumAnswers) {
  const std::string command = OptimumFrame("C50Ahola");
  ScriptedPinPad pad(sim::OptimumFraming);
  pad.Expect(command, {Reply{OptimumFrame("P50A")}})
      .Expect(command, {Reply{OptimumFrame("E50A")}})
      .Expect(command, {Reply{OptimumFrame("P60")}})
      .Expect(command, {Reply{"vxv3"}})
      .Expect(command, {Reply{"vxv7", Delivery().SplitAt({3}, 3ms)}})
      .Expect(command, {Reply{OptimumFrame("P50A"), Delivery().SplitAt({5}, 3ms)}})
      .Expect(command);
  Open(pad, "OPTIMUM");
  EXPECT_EQ(drivers::optimum::EnviaOptimum(link, command, "50"), 1);
  EXPECT_EQ(drivers::optimum::EnviaOptimum(link, command, "50"), 0);
  EXPECT_EQ(drivers::optimum::EnviaOptimum(link, command, "50"), 0);
  EXPECT_EQ(drivers::optimum::EnviaOptimum(link, command, "50"), 3);
  EXPECT_EQ(drivers::optimum::EnviaOptimum(link, command, "50"),
            7);  // "vxv" alone is not yet the answer
  EXPECT_EQ(drivers::optimum::EnviaOptimum(link, command, "50"), 1);
  EXPECT_EQ(link.BufferRecepcion(), OptimumFrame("P50A"));  // decided on the whole frame
  std::int16_t result = -1;
  const double took = Took([&] { result = drivers::optimum::EnviaOptimum(link, command, "50"); });
  EXPECT_EQ(result, 0);
  EXPECT_GE(took, 1 + drivers::optimum::kPlazoOptimum);
  EXPECT_THAT(op.shown, IsEmpty());
}

// --- frames in pieces -----------------------------------------------------------------------

// A frame with 03 inside its data and 03 as its LRC, built so that the bytes up to an inner
// 03 and the byte after it look like a whole frame with a right LRC to a check that only
// looks at the second-to-last byte. `head` is what precedes the data (command, length...).
std::string Treacherous(std::string_view stx_and_head, std::size_t data_size,
                        std::string_view before_trap = "\x10") {
  // Trap: the body so far, then ETX, then the LRC of that body.
  std::string frame(stx_and_head);
  frame += before_trap;
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

struct SplitCase {
  const char* tipo;
  sim::Framing framing;
  std::string command;
  std::string answer;
  std::string code;
};

TEST_F(SerialLinkTest, FramesSplitAtEveryPointAreAcknowledgedOnTheFirstTry) {
  const std::vector<SplitCase> cases = {
      {"IPP320", sim::LengthFraming, LengthFrame("IC0", ""),
       Treacherous(std::string("\002IC0\000\014", 6), 12), "494330"},
      {"Vx810", sim::Vx810Framing, LengthFrame("C31", "\xC1\x01\x01"),
       Treacherous(std::string("\002C33\000\016", 6), 14), "4333"},
      {"Vx810", sim::Vx810Framing, LengthFrame("C30", "\xC1\x01\x15"),
       Treacherous(std::string("\002C3021\000\013", 8), 11), "433330"},
      {"Vx810", sim::Vx810Framing, TextFrame("I02"), TextFrame("I02K"), "493032"},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(std::string(c.tipo) + " " + sim::Hex(c.answer));
    ASSERT_EQ(c.answer.back(), '\x03');  // the LRC is 03
    ASSERT_EQ(VerificaTrama(c.answer, c.code, op), 1);
    ScriptedPinPad pad(c.framing);
    for (std::size_t cut = 1; cut < c.answer.size(); ++cut) {
      pad.Expect(c.command, {Reply{c.answer, Delivery().SplitAt({cut}, 3ms)}});
      pad.Expect(kAck);
    }
    Open(pad, c.tipo);
    const std::string command = std::string(c.tipo) == "IPP320" ? TextoAHex(c.command) : c.command;
    for (std::size_t cut = 1; cut < c.answer.size(); ++cut) {
      SCOPED_TRACE("cut at " + std::to_string(cut));
      ASSERT_EQ(link.EnviaRecibe(command, c.code), 1);
      ASSERT_EQ(link.BufferRecepcion(), c.answer);
    }
    pad.WaitForUnits(2 * (c.answer.size() - 1));
    EXPECT_THAT(pad.Mismatches(), IsEmpty());  // a NAK or an EOT would show here
    EXPECT_EQ(pad.StepsLeft(), 0u);
  }
}

TEST_F(SerialLinkTest, OptimumFramesSplitAtEveryPointAreTakenWhole) {
  const std::string answer = Treacherous("\002018P54A", 14);  // 18: "P54A" and 14 bytes
  ASSERT_EQ(answer.back(), '\x03');
  const std::string command = OptimumFrame("C54");
  ScriptedPinPad pad(sim::OptimumFraming);
  for (std::size_t cut = 1; cut < answer.size(); ++cut) {
    pad.Expect(command, {Reply{answer, Delivery().SplitAt({cut}, 3ms)}});
  }
  Open(pad, "OPTIMUM");
  for (std::size_t cut = 1; cut < answer.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    ASSERT_EQ(drivers::optimum::EnviaRecibeOptimum(link, command, "54"), 0);
    ASSERT_EQ(link.BufferRecepcion(), answer);
  }
}

TEST_F(SerialLinkTest, BytesPacedAt19200BaudWithGarbageAround) {
  const std::string command = LengthFrame("CF1", "");
  const std::string answer = LengthFrame("CF1", "12345678");
  ScriptedPinPad pad(sim::LengthFraming);
  pad.Expect(command,
             {Reply{answer, Delivery().WithGarbage(std::string("\xFF\x00\x02", 3)).Paced()}})
      .Expect(kAck);
  Open(pad, "INGENICO3070");
  EXPECT_EQ(link.EnviaRecibe(TextoAHex(command), "434631"), 1);
  EXPECT_EQ(link.BufferRecepcion(), answer);
  EXPECT_THAT(Received(pad, 2), ElementsAre(command, kAck));
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
  // An STX before the frame with no command after it is skipped.
  EXPECT_EQ(ScanFrame(FrameShape::kIngenico, "\x02\x01\x01" + ingenico).state,
            FrameScan::kComplete);
  EXPECT_EQ(ScanFrame(FrameShape::kIngenico, "no frame\x03x").state, FrameScan::kNone);
  EXPECT_EQ(ScanFrame(FrameShape::kOptimum, "\0020a3xyz\x03\x01").state, FrameScan::kNone);
  EXPECT_EQ(ScanFrame(FrameShape::kOptimum, OptimumFrame("P60")).state, FrameScan::kComplete);
  EXPECT_EQ(ScanFrame(FrameShape::kText, "\x02I02").state, FrameScan::kPartial);
}

TEST(FrameScan, SurvivesAnyBytes) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> small(0, 5);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    const int size = round % 40;
    for (int i = 0; i < size; ++i) {
      // Plenty of STX, ETX and small lengths so the structural paths are all walked.
      const int pick = small(random);
      bytes += static_cast<char>(pick == 0 ? 2 : pick == 1 ? 3 : pick == 2 ? 0 : byte(random));
    }
    for (const auto shape :
         {FrameShape::kIngenico, FrameShape::kVx810, FrameShape::kOptimum, FrameShape::kText}) {
      const FrameScan scan = ScanFrame(shape, bytes);
      if (scan.state == FrameScan::kComplete) {
        ASSERT_LT(scan.begin, scan.end);
        ASSERT_LE(scan.end, bytes.size());
        ASSERT_EQ(bytes[scan.begin], '\x02');
        ASSERT_EQ(bytes[scan.end - 2], '\x03');
      }
    }
  }
}

}  // namespace
}  // namespace tovalix::serial
