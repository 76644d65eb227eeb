// The Vx810 sale flow through a real pseudo-terminal to the simulated Vx810 and a real
// loopback gateway, on a fast clock. Card numbers are made up.
#include "drivers/vx810/sale.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "drivers/models.hpp"
#include "drivers/nurit293/sale.hpp"
#include "serial/frame_completeness.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "sim/pinpad/scripted_pinpad.hpp"
#include "sim/vx810/vx810_simulator.hpp"
#include "support/sale_layouts.hpp"
#include "support/terminal_fixture.hpp"
#include "support/test_environment.hpp"

namespace tovalix::drivers::vx810 {
namespace {

using namespace std::chrono_literals;
using sim::Vx810Answer;
using sim::Vx810ChipCard;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr std::string_view kTrack2 = "4152000011112222=31121010000000000000";
constexpr std::string_view kTrack1 = "B4152000011112222^PRUEBA/TARJETA^31121010000000000000";
constexpr std::string_view kFirstMessage = "ERROR EN LECTURA DE TARJETA, REINTENTE";
constexpr std::string_view kChipTrack2 = "4152000011112222=31122010123456F";

class Vx810FlowTest : public ::testing::Test, public testing::FlowBench<sim::GatewaySimulator> {
 protected:
  Vx810FlowTest() {
    parametros.Serie = "801234567";
    parametros.Tipo = "Vx810";
    puerto = pad.PortPath();
    modo_entrada = -1;
  }

  Dictionary Sell() { return FlowBench::Sell(VentaVx810, solicitud); }
  // The result still holds the first values: nothing reached the gateway.
  void ExpectNotSent(const Dictionary& result) {
    EXPECT_EQ(gateway.RequestCount(), 0u);
    EXPECT_EQ(result.Item("ID_Tx"), "-3");
    EXPECT_EQ(result.Item("Authorization_Number"), "000000");
  }

  sim::Vx810Simulator pad;
  SolicitudVenta solicitud = Venta(125.50);
};

// A sale's commands between the opening idle sequence and the closing one.
std::string Between(const std::string& reading) {
  return "ENQ I02 72 C23 " + reading + " I02 72 C23";
}

TEST_F(Vx810FlowTest, EnqNotAcknowledgedSendsNothingElseAndKeepsTheFirstValues) {
  pad.SetEnqReply("");
  const Dictionary result = Sell();
  EXPECT_THAT(pad.Commands(), ElementsAre("ENQ"));
  ExpectNotSent(result);
  EXPECT_EQ(modo_entrada, 0);
  EXPECT_THAT(op.shown, IsEmpty());
}

TEST_F(Vx810FlowTest, BusyPinPadIsAskedAgainUntilIdleAndItsCodeShown) {
  pad.SetI02Busy(3);
  pad.SetC23Code('3');
  pad.QueueStripeSale(kTrack2, kTrack1);
  EXPECT_EQ(Sell().Item("Response_Message"), "APROBADA");
  EXPECT_EQ(testing::Since(pad.Commands(), 0), "ENQ I02 I02 I02 I02 72 C23 Z2 C30 I02 72 C23 Z2");
  EXPECT_THAT(pad.Displays(), ElementsAre("codigo C233", "codigo C233"));
}

TEST_F(Vx810FlowTest, APinPadThatStaysBusyEndsTheSaleLikeAFailedExchange) {
  pad.SetI02Busy(std::numeric_limits<std::size_t>::max());
  pad.QueueStripeSale(kTrack2, kTrack1);
  const Dictionary result = Sell();
  const std::vector<std::string> commands = pad.Commands();
  ASSERT_GT(commands.size(), 2u);
  EXPECT_EQ(commands.front(), "ENQ");
  EXPECT_THAT(std::vector(commands.begin() + 1, commands.end()), Each("I02"));  // no 72, no card
  EXPECT_GE(clock.Now(), kIdleTimeout);
  ExpectNotSent(result);
  EXPECT_EQ(result.Item("Response_Message"), kFirstMessage);
}

TEST_F(Vx810FlowTest, NonDigitBusyStateIsARunTimeFailureThatStillClosesThePort) {
  sim::ScriptedPinPad scripted(sim::Vx810Framing);
  scripted.Expect("\x05", {sim::Reply{"\x06"}})
      .Expect(sim::TextFrame("I02"), {sim::Reply{"\x06"}, sim::Reply{sim::TextFrame("I02X")}});
  puerto = scripted.PortPath();
  ExpectNotSent(Sell());
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"No coinciden los tipos"});
}

// One sale after another on the same link, by what the card reading gave: the commands between
// the idle sequences, the texts shown, the message the host gets and, for a sale, the entry
// mode and what is posted. Only a chip read with status 00 sends the chip's elements, copied in
// the tag table's order (9A never). The card hears the gateway's decision, not the code it gave
// itself: with its own code empty, it still hears "00".
TEST_F(Vx810FlowTest, EachReadingEndsItsOwnWay) {
  const Vx810Answer empty = Vx810Answer::Swipe("", ""), chip = Vx810Answer::Status("C30", "00"),
                    swipe = Vx810Answer::Swipe(kTrack2, kTrack1),
                    status30 = Vx810Answer::Chip(Vx810ChipCard{}, "30");
  const auto status = [](const char* s) { return Vx810Answer::Status("C30", s); };
  Vx810ChipCard expired, silent;
  expired.expiry = "191231";
  silent.aut_code = "";
  const char* first = kFirstMessage.data();
  struct Case {
    std::vector<Vx810Answer> c30, c31;
    const char *commands, *shown, *message;
    std::int16_t modo = 0;
    const char *track2 = nullptr, *emv_tags = "";  // posted; none when nothing was
  };
  // clang-format off
  const Case cases[] = {
      {{empty, empty}, {}, "C30 Z2 C30 Z2", "DESLICE DE NUEVO|ERROR DE LECTURA", "ERROR DE LECTURA"},
      {{Vx810Answer::Swipe("4152000011112222=19121010000000000000", kTrack1)}, {}, "C30 Z2",
       "TARJETA EXPIRADA", "TARJETA VENCIDA"},
      {{chip}, {Vx810Answer::Chip(expired)}, "C30 C31 Z2", "TARJETA EXPIRADA", "TARJETA VENCIDA"},
      {{chip}, {Vx810Answer::Status("C31", "99")}, "C30 C31", "", first},
      {{status("41")}, {}, "C30 Z2", "ERROR41", first},
      {{status("24")}, {}, "C30 Z2", "TARJETA BLOQUEADA", "TARJETA BLOQUEADA"},
      {{status("06")}, {}, "C30 Z2", "TIMEOUT PARA LECTURA DE TARJETA", "NO SE DETECTO TARJETA"},
      {{status("09")}, {}, "C30 Z2", "ERROR EN PUERTO DE COMUNICACION",
       "OPERACION CANCELADA, ERROR EN PUERTO"},
      {{status("22"), status("22"), status("22")}, {}, "C30 C30 C30 Z2",
       "INTENTE OTRO    MEDIO DE PAGO", first},
      {{status("23"), status("23")}, {}, "C30 C30", "", "TARJETA REMOVIDA ANTES DE TIEMPO"},
      {{status("20"), status("20"), status("20")}, {}, "C30 Z2 C30 Z2 C30",
       "TARJETA CON CHIP INSERTE|TARJETA CON CHIP INSERTE", first},
      {{swipe}, {}, "C30", "", "APROBADA", 1, kTrack2.data()},
      {{empty, swipe}, {}, "C30 Z2 C30", "DESLICE DE NUEVO", "APROBADA", 1, kTrack2.data()},
      {{Vx810Answer::Swipe("4152000011112222=31122010000000000000", kTrack1)}, {}, "C30", "",
       "APROBADA", 3, "4152000011112222=31122010000000000000"},
      {{chip}, {status30, status30, status30}, "C30 C31 C31 C31", "", "APROBADA", 0,
       kChipTrack2.data()},
      {{chip}, {Vx810Answer::Chip(silent)}, "C30 C31 C34", "", "APROBADA", 2, kChipTrack2.data(),
       "5F2A020484" "8407A0000000031010" "9F0206000000012550" "9F26081122334455667788"
       "9F3602002A"},
  };
  // clang-format on
  std::size_t sold = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commands);
    const std::size_t commands = pad.Commands().size(), shown = pad.Displays().size();
    for (const Vx810Answer& answer : c.c30) pad.QueueC30(answer);
    for (const Vx810Answer& answer : c.c31) pad.QueueC31(answer);
    const Dictionary result = Sell();
    EXPECT_EQ(testing::Since(pad.Commands(), commands), Between(c.commands));
    EXPECT_EQ(testing::Since(pad.Displays(), shown, "|"), c.shown);
    EXPECT_EQ(result.Item("Response_Message"), c.message);
    EXPECT_EQ(result.Item("ARQC"), c.modo == 2 ? "1122334455667788" : "");
    EXPECT_EQ(result.Item("AID"), c.modo == 2 ? "A0000000031010" : "");
    const auto requests = gateway.Requests();
    if (c.track2 == nullptr) {
      ExpectNotSent(result);  // the unsold rows come first
      continue;
    }
    EXPECT_EQ(modo_entrada, c.modo);
    ASSERT_EQ(requests.size(), ++sold);
    EXPECT_EQ(requests.back().Value("pos_entry_mode"), std::to_string(c.modo));
    EXPECT_EQ(requests.back().Value("track2"), c.track2);
    EXPECT_EQ(requests.back().Value("emv_tags"), c.emv_tags);
  }
  EXPECT_THAT(pad.C34Data(), ElementsAre(std::string("\xC1\x02\x30\x30\xE1\x00", 6)));
  EXPECT_EQ(Record(),
            "Id_Store=5&Amount=125.5&tip=0&total=125.5&id_transaction=8001&"
            "track2=4152000011112222=31121010000000000000&serial=801234567&ptid=4711&"
            "operation_type=1&authorization_number=&pos_entry_mode=1&emv_tags=&cvv2=&"
            "process_type=CDSaleCancel&ID_Client_Tx=31&ID_Server_Tx=32&InitialDeferment=&"
            "NumberOfPayments=&PlanType=&track1=" +
                std::string(kTrack1));
}

// Approved in words without an authorization is in doubt and the card hears "05", as it does
// for a decline; the answers arrive in pieces.
TEST_F(Vx810FlowTest, TheChipCardHearsTheGatewaysDecision) {
  for (const char* message : {"APROBADA", "DECLINADA"}) {
    pad.QueueChipSale();  // the card's own code is 00
    pad.SetAnswerDelivery(sim::Delivery().SplitAt({2, 5, 9}, 3ms));
    gateway.SetScript([message](const sim::GatewayRequest&, sim::GatewayAnswer& answer) {
      answer.Set("response_message", message).Set("authorization_number", "000000");
    });
    EXPECT_EQ(Sell().Item("ID_Tx") == "-4", message == std::string("APROBADA"));
  }
  EXPECT_THAT(pad.C34Data(), ElementsAre(std::string("\xC1\x02\x30\x35\xE1\x00", 6),
                                         std::string("\xC1\x02\x30\x35\xE1\x00", 6)));
}

TEST_F(Vx810FlowTest, AnswersEndingInEtxAndARightLrcAreWholeWhateverFollowsTheStatus) {
  // Our reading takes the two bytes after the status for a data length; the PIN pad may put
  // there a length that is too short, too long, or none at all.
  const std::pair<char, char> kAfterStatus[] = {
      {'\x00', '\x00'}, {'\x00', '\x05'}, {'\x07', '\xFF'}, {'\xFF', '\xFF'}};
  for (const auto& [high, low] : kAfterStatus) {
    SCOPED_TRACE(sim::Hex(std::string{high, low}));
    pad.QueueC30(Vx810Answer::Swipe(kTrack2, kTrack1).AfterStatus(high, low));
    pad.QueueC30(Vx810Answer::Status("C30", "00"));
    pad.QueueC31(Vx810Answer::Chip(Vx810ChipCard{}).AfterStatus(high, low));
    const std::size_t before = gateway.RequestCount();
    Sell();
    Sell();
    const auto requests = gateway.Requests();
    ASSERT_EQ(requests.size(), before + 2);
    EXPECT_EQ(requests[before].Value("track2"), kTrack2);
    EXPECT_EQ(requests[before + 1].Value("track2"), kChipTrack2);
    EXPECT_EQ(requests[before + 1].Value("pos_entry_mode"), "2");
  }
}

TEST_F(Vx810FlowTest, FailedChipCompletionSkipsTheClosingSequence) {
  pad.QueueChipSale();
  // The PIN pad hangs up in the middle of its answer to C34: the completion fails.
  pad.SetObserver([&](const std::string& event) {
    if (event == "C34") pad.SetAnswerDelivery(sim::Delivery().HangUpAfter(1));
  });
  EXPECT_EQ(Sell().Item("Response_Message"), "APROBADA");  // the gateway's answer stands
  EXPECT_EQ(gateway.RequestCount(), 1u);
  EXPECT_EQ(pad.Count("I02"), 1u);
}

// --- Serial number --------------------------------------------------------------------------

// Read from its place without dashes; a leading zero goes, the tail is not read; no number or
// a number 0 gives none and is told; a silent PIN pad gives none.
TEST_F(Vx810FlowTest, Vx810SerialIsReadFromItsPlaceWithoutDashes) {
  link.SetFormat(drivers::FindModel("Vx810")->format);
  link.Abre(pad.PortPath());
  EXPECT_EQ(SerieVx810(link, op), "801234567");
  for (const auto& [answer, serial] : {std::pair{"VX810012-345-678XYZ", "12345678"},
                                       {"VX810ABC-DEF-GHI", ""},
                                       {"VX810000-000-000", ""}}) {
    pad.SetSerialAnswer(answer);
    EXPECT_EQ(SerieVx810(link, op), serial);
  }
  EXPECT_EQ(pad.Count("06"), 4u);
  EXPECT_THAT(op.Texts(), ElementsAre(HasSubstr("número de serie"), HasSubstr("número de serie")));
  link.Cierra();
  sim::ScriptedPinPad silent(sim::TextFraming);
  link.Abre(silent.PortPath());
  EXPECT_EQ(SerieVx810(link, op), "");
}

// Three characters after the code, fifteen digits written whole; an answer without "06", a
// serial number 0 and a closed port give none and are told, not thrown.
TEST_F(Vx810FlowTest, NuritSerialIsReadThreeCharactersAfterTheCode) {
  sim::ScriptedPinPad nurit(sim::TextFraming);
  const std::string request = sim::TextFrame("06");
  for (const char* answer :
       {"06N1234-5678-90123", "06N123456789012345", "OK", "06N000000000000000"})
    nurit.Expect(request, {sim::Reply{"\x06"}, sim::Reply{sim::TextFrame(answer)}}).Expect("\x06");
  link.SetFormat(drivers::FindModel("NURIT293")->format);
  link.Abre(nurit.PortPath());
  for (const char* serial : {"1234567890123", "123456789012345", "", ""})
    EXPECT_EQ(nurit293::SerieNurit293(link, op), serial);
  EXPECT_THAT(op.Texts(), ElementsAre(HasSubstr("número de serie"), HasSubstr("número de serie")));
  link.Cierra();
  EXPECT_EQ(nurit293::SerieNurit293(link, op), "");
  EXPECT_EQ(op.shown.size(), 3u);
  nurit.WaitForUnits(8);
  EXPECT_THAT(nurit.Mismatches(), IsEmpty());
}

// --- Answer frames --------------------------------------------------------------------------

// A status alone, without a length, is a whole frame, and so is a C34 with nothing at all after
// the command. A wrong LRC leaves it to the length reading: a length of 03xx is still arriving.
// With a length, as before.
TEST(Vx810AnswerFrames, AStatusAloneWithoutLengthIsAWholeFrame) {
  using serial::FrameScan;
  const std::string bare = sim::TextFrame("C3006"),
                    swipe = Vx810Answer::Swipe(kTrack2, kTrack1).frame;
  const std::pair<std::string, FrameScan::State> cases[] = {
      {bare, FrameScan::kComplete},
      {bare.substr(0, bare.size() - 1), FrameScan::kPartial},
      {sim::TextFrame("C34"), FrameScan::kComplete},
      {sim::WithWrongLrc(bare), FrameScan::kPartial},
      {sim::TextFrame(std::string("C3000\x00\x00", 7)), FrameScan::kComplete},
      {swipe.substr(0, 12), FrameScan::kPartial},
      {swipe, FrameScan::kComplete}};
  for (const auto& [bytes, state] : cases) {
    SCOPED_TRACE(sim::Hex(bytes));
    const FrameScan scan = serial::ScanFrame(serial::FrameShape::kVx810, bytes);
    EXPECT_EQ(scan.state, state);
    if (state == FrameScan::kComplete) {
      EXPECT_EQ(scan.end, bytes.size());
    }
  }
}

}  // namespace
}  // namespace tovalix::drivers::vx810
