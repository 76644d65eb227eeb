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

using nurit293::SerieNurit293;

using namespace std::chrono_literals;
using sim::Vx810Answer;
using sim::Vx810ChipCard;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr std::string_view kTrack2 = "4152000011112222=31121010000000000000";
constexpr std::string_view kTrack1 = "B4152000011112222^PRUEBA/TARJETA^31121010000000000000";
constexpr std::string_view kFirstMessage = "ERROR EN LECTURA DE TARJETA, REINTENTE";

const std::vector<std::string> kIdle = {"I02", "72", "C23"};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

class Vx810FlowTest : public ::testing::Test, public testing::FlowBench<sim::GatewaySimulator> {
 protected:
  Vx810FlowTest() {
    parametros.IdStore = "5";
    parametros.Serie = "801234567";
    parametros.PTid = "42";
    parametros.Tipo = "Vx810";
    parametros.UrlGateway = gateway.Url();
    parametros.TimeOutCreditDebit = "30";
    puerto = pad.PortPath();
    modo_entrada = -1;
    solicitud.ID_Store = 5;
    solicitud.Amount = Money::FromCentavos(12550);
    solicitud.Total = Money::FromCentavos(12550);
    solicitud.ID_Transaction = 77;
    solicitud.Operation_Type = 1;
    solicitud.TimeOut = "30";
  }

  Dictionary Sell() {
    EntornoVenta entorno = Entorno();
    return Finished(VentaVx810(entorno, solicitud));
  }
  // The result still holds the first values: nothing reached the gateway.
  void ExpectNotSent(const Dictionary& result) {
    EXPECT_EQ(gateway.RequestCount(), 0u);
    EXPECT_EQ(result.Item("ID_Tx"), "-3");
    EXPECT_EQ(result.Item("Authorization_Number"), "000000");
  }

  sim::Vx810Simulator pad;
  SolicitudVenta solicitud;
  std::int16_t& modo = modo_entrada;
};

// --- Wake-up and idle sequence -----------------------------------------------------------

TEST_F(Vx810FlowTest, EnqNotAcknowledgedSendsNothingElseAndKeepsTheFirstValues) {
  pad.SetEnqReply("");
  const Dictionary result = Sell();
  EXPECT_THAT(pad.Commands(), ElementsAre("ENQ"));
  ExpectNotSent(result);
  EXPECT_EQ(result.Keys(), testing::kVerifoneFirstKeys);
  EXPECT_EQ(result.Item("ID_Store"), "5");
  EXPECT_EQ(result.Item("Amount"), "125.5");
  EXPECT_EQ(result.Item("Response_Message"), kFirstMessage);
  EXPECT_EQ(modo, 0);
  EXPECT_THAT(op.shown, IsEmpty());
}

TEST_F(Vx810FlowTest, BusyPinPadIsAskedAgainUntilIdleAndAStripeSaleGoesThrough) {
  pad.SetI02Busy(3);
  pad.QueueStripeSale(kTrack2, kTrack1);
  const Dictionary result = Sell();
  EXPECT_THAT(pad.Commands(),
              ElementsAreArray(Join({{"ENQ", "I02", "I02", "I02"}, kIdle, {"C30"}, kIdle})));
  const sim::GatewayRequest sent = Posted();
  EXPECT_EQ(sent.Value("process_type"), "CDSaleCancel");
  EXPECT_EQ(sent.Value("track2"), kTrack2);
  EXPECT_EQ(sent.Value("track1"), kTrack1);
  EXPECT_EQ(sent.Value("pos_entry_mode"), "1");
  EXPECT_EQ(sent.Value("serial"), "801234567");
  EXPECT_EQ(sent.Value("ptid"), "42");
  EXPECT_EQ(sent.Value("Id_Store"), "5");
  EXPECT_EQ(sent.Value("Amount"), "125.5");
  EXPECT_EQ(sent.Value("emv_tags"), "");
  EXPECT_EQ(modo, 1);
  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
  EXPECT_NE(result.Item("ID_Tx"), "-3");
  EXPECT_EQ(pad.C34Data().size(), 0u);  // no chip completion for a stripe
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

TEST_F(Vx810FlowTest, C23CodeIsShownAndTheSaleGoesOn) {
  pad.SetC23Code('3');
  pad.QueueStripeSale(kTrack2, kTrack1);
  const Dictionary result = Sell();
  // Shown by the opening and by the closing idle sequence.
  EXPECT_THAT(pad.Displays(), ElementsAre("codigo C233", "codigo C233"));
  EXPECT_EQ(gateway.RequestCount(), 1u);
  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
}

TEST_F(Vx810FlowTest, NonDigitBusyStateIsARunTimeFailureThatStillClosesThePort) {
  sim::ScriptedPinPad scripted(sim::Vx810Framing);
  scripted.Expect("\x05", {sim::Reply{"\x06"}})
      .Expect(sim::TextFrame("I02"), {sim::Reply{"\x06"}, sim::Reply{sim::TextFrame("I02X")}});
  puerto = scripted.PortPath();
  const Dictionary result = Sell();
  ExpectNotSent(result);
  ASSERT_EQ(op.shown.size(), 1u);
  EXPECT_EQ(op.shown[0].style, 0);
  EXPECT_EQ(op.shown[0].text, "No coinciden los tipos");
  EXPECT_NE(testing::ReadFile(logs / "tovalix.log").find("No coinciden los tipos"),
            std::string::npos);
}

// --- Card read ------------------------------------------------------------------------------

TEST_F(Vx810FlowTest, TwoEmptySwipesEndWithAReadingError) {
  pad.QueueC30(Vx810Answer::Swipe("", ""));
  pad.QueueC30(Vx810Answer::Swipe("", ""));
  const Dictionary result = Sell();
  EXPECT_EQ(result.Item("Response_Message"), "ERROR DE LECTURA");
  EXPECT_THAT(pad.Displays(), ElementsAre("DESLICE DE NUEVO", "ERROR DE LECTURA"));
  // The closing idle sequence runs.
  EXPECT_THAT(pad.Commands(),
              ElementsAreArray(Join({{"ENQ"}, kIdle, {"C30", "Z2", "C30", "Z2"}, kIdle})));
  ExpectNotSent(result);
}

TEST_F(Vx810FlowTest, AnEmptySwipeThenAGoodOneIsSold) {
  pad.QueueC30(Vx810Answer::Swipe("", ""));
  pad.QueueStripeSale(kTrack2, kTrack1);
  Sell();
  EXPECT_THAT(pad.Displays(), ElementsAre("DESLICE DE NUEVO"));
  EXPECT_EQ(Posted().Value("track2"), kTrack2);
}

TEST_F(Vx810FlowTest, StripeOfAChipCardIsTheFallbackReadingWithoutChipFields) {
  const std::string track2 = "4152000011112222=31122010000000000000";  // service code 201
  pad.QueueStripeSale(track2, kTrack1);
  const Dictionary result = Sell();
  EXPECT_EQ(modo, 3);
  const sim::GatewayRequest sent = Posted();
  EXPECT_EQ(sent.Value("pos_entry_mode"), "3");
  EXPECT_EQ(sent.Value("emv_tags"), "");
  EXPECT_EQ(result.Item("ARQC"), "");
  EXPECT_EQ(result.Item("AID"), "");
}

TEST_F(Vx810FlowTest, AnExpiredSwipeIsRefusedBeforeTheGateway) {
  pad.QueueStripeSale("4152000011112222=19121010000000000000", kTrack1);
  const Dictionary result = Sell();
  EXPECT_EQ(result.Item("Response_Message"), "TARJETA VENCIDA");
  EXPECT_THAT(pad.Displays(), ElementsAre("TARJETA EXPIRADA"));
  ExpectNotSent(result);
}

// Each status queued as many times as the sale asks again for the card, then given up on.
TEST_F(Vx810FlowTest, StatusesThatEndTheSaleShowTheirTexts) {
  struct Case {
    std::string status;
    std::size_t readings;
    std::vector<std::string> displays;
    std::string message;
  };
  const std::string first(kFirstMessage);
  const std::vector<Case> cases = {
      {"41", 1, {"ERROR41"}, first},
      {"24", 1, {"TARJETA BLOQUEADA"}, "TARJETA BLOQUEADA"},
      {"06", 1, {"TIMEOUT PARA LECTURA DE TARJETA"}, "NO SE DETECTO TARJETA"},
      {"09", 1, {"ERROR EN PUERTO DE COMUNICACION"}, "OPERACION CANCELADA, ERROR EN PUERTO"},
      {"22", 3, {"INTENTE OTRO    MEDIO DE PAGO"}, first},
      {"23", 2, {}, "TARJETA REMOVIDA ANTES DE TIEMPO"},
      {"20", 3, {"TARJETA CON CHIP INSERTE", "TARJETA CON CHIP INSERTE"}, first},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    const std::size_t shown = pad.Displays().size(), c30 = pad.Count("C30"), c23 = pad.Count("C23");
    for (std::size_t i = 0; i < c.readings; ++i) pad.QueueCardStatus(c.status);
    const Dictionary result = Sell();
    const auto displays = pad.Displays();
    EXPECT_EQ(std::vector(displays.begin() + static_cast<std::ptrdiff_t>(shown), displays.end()),
              c.displays);
    EXPECT_EQ(pad.Count("C30") - c30, c.readings);
    EXPECT_EQ(pad.Count("C23") - c23, 2u);  // the opening and the closing idle sequence
    EXPECT_EQ(result.Item("Response_Message"), c.message);
    ExpectNotSent(result);
  }
}

// --- Chip ---------------------------------------------------------------------------------

// The card hears the gateway's decision, the one the host gets, not the code it gave itself.
TEST_F(Vx810FlowTest, ChipSaleCompletesWithTheGatewaysDecision) {
  Vx810ChipCard card;
  card.aut_code = "";  // the card's own code would be completed as 00
  pad.QueueChipSale(card);
  const Dictionary result = Sell();
  EXPECT_THAT(pad.Commands(),
              ElementsAreArray(Join({{"ENQ"}, kIdle, {"C30", "C31", "C34"}, kIdle})));
  EXPECT_EQ(modo, 2);
  const sim::GatewayRequest sent = Posted();
  EXPECT_EQ(sent.Value("pos_entry_mode"), "2");
  EXPECT_EQ(sent.Value("track2"), "4152000011112222=31122010123456F");
  // Copied elements in the tag table's order; 9A removed, never copied.
  EXPECT_EQ(sent.Value("emv_tags"),
            "5F2A020484"
            "8407A0000000031010"
            "9F0206000000012550"
            "9F26081122334455667788"
            "9F3602002A");
  EXPECT_EQ(result.Item("ARQC"), "1122334455667788");
  EXPECT_EQ(result.Item("AID"), "A0000000031010");
  EXPECT_THAT(pad.C34Data(), ElementsAre(std::string("\xC1\x02\x30\x30\xE1\x00", 6)));

  // Approved in words without an authorization, then declined: "05", answers in pieces.
  for (const char* message : {"APROBADA", "DECLINADA"}) {
    pad.QueueChipSale();  // the card's own code is 00
    pad.SetAnswerDelivery(sim::Delivery().SplitAt({2, 5, 9}, 3ms));
    gateway.SetScript([message](const sim::GatewayRequest&, sim::GatewayAnswer& answer) {
      answer.Set("response_message", message).Set("authorization_number", "000000");
    });
    EXPECT_EQ(Sell().Item("ID_Tx") == "-4", message == std::string("APROBADA"));
  }
  EXPECT_THAT(pad.C34Data(), ElementsAre(std::string("\xC1\x02\x30\x30\xE1\x00", 6),
                                         std::string("\xC1\x02\x30\x35\xE1\x00", 6),
                                         std::string("\xC1\x02\x30\x35\xE1\x00", 6)));
}

TEST_F(Vx810FlowTest, AnswersEndingInEtxAndARightLrcAreWholeWhateverFollowsTheStatus) {
  // Our reading takes the two bytes after the status for a data length; the PIN pad may put
  // there a length that is too short, too long, or none at all.
  const std::pair<char, char> kAfterStatus[] = {
      {'\x00', '\x00'}, {'\x00', '\x05'}, {'\x07', '\xFF'}, {'\xFF', '\xFF'}};
  std::size_t sales = 0;
  for (const auto& [high, low] : kAfterStatus) {
    SCOPED_TRACE(sim::Hex(std::string{high, low}));
    pad.QueueC30(Vx810Answer::Swipe(kTrack2, kTrack1).AfterStatus(high, low));
    Sell();
    pad.QueueC30(Vx810Answer::Status("C30", "00"));
    pad.QueueC31(Vx810Answer::Chip(Vx810ChipCard{}).AfterStatus(high, low));
    Sell();
    sales += 2;
    const auto requests = gateway.Requests();
    ASSERT_EQ(requests.size(), sales);
    EXPECT_EQ(requests[sales - 2].Value("track2"), kTrack2);
    EXPECT_EQ(requests[sales - 1].Value("track2"), "4152000011112222=31122010123456F");
    EXPECT_EQ(requests[sales - 1].Value("pos_entry_mode"), "2");
  }
}

TEST_F(Vx810FlowTest, ChipStatus30OnAllThreePassesPostsWithoutChipFields) {
  pad.QueueCardStatus("00");
  for (int i = 0; i < 3; ++i) pad.QueueC31(Vx810Answer::Chip(Vx810ChipCard{}, "30"));
  const Dictionary result = Sell();
  EXPECT_EQ(pad.Count("C31"), 3u);
  EXPECT_EQ(pad.Count("C34"), 0u);
  EXPECT_EQ(modo, 0);
  const sim::GatewayRequest sent = Posted();
  EXPECT_EQ(sent.Value("pos_entry_mode"), "0");
  EXPECT_EQ(sent.Value("emv_tags"), "");
  EXPECT_EQ(result.Item("ARQC"), "");
}

TEST_F(Vx810FlowTest, PinPadAnsweringC31ItselfEndsWithoutMessage) {
  pad.QueueCardStatus("00");
  pad.QueueC31(Vx810Answer::Status("C31", "99"));
  const Dictionary result = Sell();
  EXPECT_THAT(pad.Commands(), ElementsAreArray(Join({{"ENQ"}, kIdle, {"C30", "C31"}, kIdle})));
  EXPECT_EQ(result.Item("Response_Message"), kFirstMessage);
  EXPECT_THAT(pad.Displays(), IsEmpty());
  ExpectNotSent(result);
}

TEST_F(Vx810FlowTest, AnExpiredChipIsRefusedAfterItsData) {
  Vx810ChipCard card;
  card.expiry = "191231";
  pad.QueueChipSale(card);
  const Dictionary result = Sell();
  EXPECT_EQ(result.Item("Response_Message"), "TARJETA VENCIDA");
  EXPECT_THAT(pad.Displays(), ElementsAre("TARJETA EXPIRADA"));
  EXPECT_EQ(pad.Count("C34"), 0u);
  ExpectNotSent(result);
}

TEST_F(Vx810FlowTest, FailedChipCompletionSkipsTheClosingSequence) {
  pad.QueueChipSale();
  // The PIN pad hangs up in the middle of its answer to C34: the completion fails.
  pad.SetObserver([&](const std::string& event) {
    if (event == "C34") pad.SetAnswerDelivery(sim::Delivery().HangUpAfter(1));
  });
  const Dictionary result = Sell();
  EXPECT_EQ(gateway.RequestCount(), 1u);
  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");  // the gateway's answer stands
  EXPECT_EQ(pad.Count("I02"), 1u);
}

// --- Serial number --------------------------------------------------------------------------

class SerieTest : public ::testing::Test, public testing::FlowBench<sim::GatewaySimulator> {};

TEST_F(SerieTest, Vx810SerialIsReadFromItsPlaceWithoutDashes) {
  sim::Vx810Simulator pad;
  link.SetFormat(drivers::FindModel("Vx810")->format);
  link.Abre(pad.PortPath());
  EXPECT_EQ(SerieVx810(link, op), "801234567");
  pad.SetSerialAnswer("VX810012-345-678XYZ");  // a leading zero goes, the tail is not read
  EXPECT_EQ(SerieVx810(link, op), "12345678");
  EXPECT_THAT(op.shown, IsEmpty());
  for (const char* answer : {"VX810ABC-DEF-GHI", "VX810000-000-000"}) {  // no number, 0
    pad.SetSerialAnswer(answer);
    EXPECT_EQ(SerieVx810(link, op), "");
  }
  EXPECT_EQ(pad.Count("06"), 4u);
  EXPECT_THAT(op.Texts(), ElementsAre(HasSubstr("número de serie"), HasSubstr("número de serie")));
}

TEST_F(SerieTest, NuritSerialIsReadThreeCharactersAfterTheCode) {
  sim::ScriptedPinPad pad(sim::TextFraming);
  const std::string request = sim::TextFrame("06");
  pad.Expect(request, {sim::Reply{"\x06"}, sim::Reply{sim::TextFrame("06N1234-5678-90123")}})
      .Expect("\x06")
      .Expect(request, {sim::Reply{"\x06"}, sim::Reply{sim::TextFrame("06N123456789012345")}})
      .Expect("\x06")
      .Expect(request, {sim::Reply{"\x06"}, sim::Reply{sim::TextFrame("OK")}})
      .Expect("\x06")
      .Expect(request, {sim::Reply{"\x06"}, sim::Reply{sim::TextFrame("06N000000000000000")}})
      .Expect("\x06");
  link.SetFormat(drivers::FindModel("NURIT293")->format);
  link.Abre(pad.PortPath());
  EXPECT_EQ(SerieNurit293(link, op), "1234567890123");
  EXPECT_EQ(SerieNurit293(link, op), "123456789012345");  // fifteen digits, written whole
  EXPECT_THAT(op.shown, IsEmpty());
  EXPECT_EQ(SerieNurit293(link, op), "");  // an answer without "06"
  EXPECT_EQ(SerieNurit293(link, op), "");  // a serial number 0
  EXPECT_THAT(op.Texts(), ElementsAre(HasSubstr("número de serie"), HasSubstr("número de serie")));
  link.Cierra();
  EXPECT_EQ(SerieNurit293(link, op), "");  // a closed port is reported, not thrown
  EXPECT_EQ(op.shown.size(), 3u);
  pad.WaitForUnits(8);
  EXPECT_THAT(pad.Mismatches(), IsEmpty());
}

TEST_F(SerieTest, SilentPinPadGivesNoSerial) {
  sim::ScriptedPinPad pad(sim::TextFraming);
  link.SetFormat(drivers::FindModel("Vx810")->format);
  link.Abre(pad.PortPath());
  EXPECT_EQ(SerieVx810(link, op), "");
}

// --- Answer frames --------------------------------------------------------------------------

TEST(Vx810AnswerFrames, AStatusAloneWithoutLengthIsAWholeFrame) {
  using serial::FrameScan;
  using serial::FrameShape;
  using serial::ScanFrame;
  const std::string bare = sim::TextFrame("C3006");
  EXPECT_EQ(ScanFrame(FrameShape::kVx810, bare).state, FrameScan::kComplete);
  EXPECT_EQ(ScanFrame(FrameShape::kVx810, bare).end, bare.size());
  EXPECT_EQ(ScanFrame(FrameShape::kVx810, bare.substr(0, bare.size() - 1)).state,
            FrameScan::kPartial);
  // After the ACK of the command, and as a C34 with nothing at all after the command.
  EXPECT_EQ(ScanFrame(FrameShape::kVx810, "\x06" + sim::TextFrame("C31"
                                                                  "99"))
                .state,
            FrameScan::kComplete);
  EXPECT_EQ(ScanFrame(FrameShape::kVx810, sim::TextFrame("C34")).state, FrameScan::kComplete);
  // A wrong LRC leaves it to the length reading: a length of 03xx is still arriving.
  EXPECT_EQ(ScanFrame(FrameShape::kVx810, sim::WithWrongLrc(bare)).state, FrameScan::kPartial);
  // With a length, as before.
  const std::string sized = sim::TextFrame(std::string("C3000\x00\x00", 7));
  EXPECT_EQ(ScanFrame(FrameShape::kVx810, sized).state, FrameScan::kComplete);
  const std::string swipe = Vx810Answer::Swipe(kTrack2, kTrack1).frame;
  EXPECT_EQ(ScanFrame(FrameShape::kVx810, swipe.substr(0, 12)).state, FrameScan::kPartial);
  EXPECT_EQ(ScanFrame(FrameShape::kVx810, swipe).end, swipe.size());
}

}  // namespace
}  // namespace tovalix::drivers::vx810
