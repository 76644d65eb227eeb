// The Optimum sale flow end to end: the flow drives the simulated terminal through a real pty
// and posts to the simulated gateway on 127.0.0.1. Deadlines run on a fast clock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "drivers/models.hpp"
#include "drivers/optimum/exchange.hpp"
#include "optimum_fixture.hpp"
#include "sim/pinpad/scripted_pinpad.hpp"
#include "support/sale_layouts.hpp"

namespace tovalix::drivers::optimum {
namespace {

using sim::OptimumReading;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const testing::Keys& kFirstKeys = testing::kVerifoneFirstKeys;

// What the gateway receives for the simulator's chip data: the table's elements in table
// order with one-byte hex lengths; 9A and 9F03 dropped.
constexpr const char* kChipTags =
    "5F2A020484"
    "82025C00"
    "8407A0000000031010"
    "95050000008000"
    "9C0100"
    "9F0206000000012500"
    "9F100706011103A00000"
    "9F1A020484"
    "9F26081122334455667788"
    "9F270180"
    "9F36020001"
    "9F3704A1B2C3D4"
    "5F340101";

using OptimumFlowTest = OptimumFixture;

TEST_F(OptimumFlowTest, StripeSaleIsPostedWithEntryModeOneAndNoChipResult) {
  pad.Queue(OptimumReading::Stripe());
  SolicitudVenta sale = Venta(125);
  sale.Tip = Money::FromCentavos(1000);
  sale.Total = Money::FromCentavos(13500);
  const platform::WallTime before = platform::LocalNow();
  const Dictionary result = Sell(sale);
  const platform::WallTime after = platform::LocalNow();

  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
  EXPECT_EQ(result.Item("ID_Tx"), "100001");
  EXPECT_EQ(result.Item("Pos_entry_mode"), "1");
  EXPECT_EQ(result.Item("ARQC"), "");

  const auto requests = pad.CardRequests();
  ASSERT_EQ(requests.size(), 1u);
  const sim::OptimumCardRequest& c54 = requests[0];
  EXPECT_TRUE(c54.complete);
  EXPECT_EQ(c54.prompt, "INSERTE O DESLICE TARJETA");
  EXPECT_EQ(c54.amount, "000000000125");
  EXPECT_EQ(c54.tip, "000000000010");
  EXPECT_EQ(c54.f, "0484");
  EXPECT_EQ(c54.g, "00");
  EXPECT_EQ(c54.h, "00");
  EXPECT_TRUE(c54.date == Date(before) || c54.date == Date(after)) << c54.date;
  EXPECT_TRUE(c54.time == Time(before) || c54.time == Time(after)) << c54.time;

  const auto posts = gateway.Requests();
  ASSERT_EQ(posts.size(), 1u);
  const sim::GatewayRequest& post = posts[0];
  EXPECT_EQ(post.Value("pos_entry_mode"), "1");
  EXPECT_EQ(post.Value("track2"), OptimumReading::kTrack2);
  EXPECT_EQ(post.Value("track1"), OptimumReading::kTrack1);
  EXPECT_EQ(post.Value("emv_tags"), "");
  EXPECT_EQ(post.Value("serial"), parametros.Serie);
  EXPECT_EQ(post.Value("ptid"), "4711");
  EXPECT_EQ(post.Value("Id_Store"), "5");
  EXPECT_EQ(post.Value("Amount"), "125");
  EXPECT_EQ(post.Value("tip"), "10");
  EXPECT_EQ(post.Value("total"), "135");
  EXPECT_EQ(post.Value("id_transaction"), "8001");
  EXPECT_EQ(post.Value("process_type"), "CDSaleCancel");
  EXPECT_EQ(post.Value("ID_Client_Tx"), "31");

  EXPECT_THAT(pad.Notifications(), IsEmpty());
  EXPECT_THAT(pad.Commands(), ElementsAre("C54"));
  EXPECT_THAT(pad.Problems(), IsEmpty());
  EXPECT_THAT(op.shown, IsEmpty());
  EXPECT_EQ(modo_entrada, 0) << "the Optimum posts the terminal's entry mode, not ModoEntrada";
}

TEST_F(OptimumFlowTest, FallbackSwipeIsPostedWithEntryModeThree) {
  pad.Queue(OptimumReading::Fallback());
  const Dictionary result = Sell(Venta(80));
  ASSERT_EQ(gateway.RequestCount(), 1u);
  EXPECT_EQ(gateway.Requests()[0].Value("pos_entry_mode"), "3");
  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
  EXPECT_THAT(pad.Notifications(), IsEmpty());
}

TEST_F(OptimumFlowTest, ApprovedChipSaleSendsItsTagsAndTellsTheCard00) {
  pad.Queue(OptimumReading::Chip());
  const Dictionary result = Sell(Venta(125));

  ASSERT_EQ(gateway.RequestCount(), 1u);
  const sim::GatewayRequest post = gateway.Requests()[0];
  EXPECT_EQ(post.Value("pos_entry_mode"), "2");
  EXPECT_EQ(post.Value("emv_tags"), kChipTags);
  EXPECT_EQ(post.Value("track2"), OptimumReading::kTrack2);
  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
  EXPECT_EQ(result.Item("Authorization_Number"), "123456");
  EXPECT_EQ(result.Item("ARQC"), OptimumReading::kArqc);
  EXPECT_EQ(result.Item("AID"), OptimumReading::kAid);

  ASSERT_TRUE(pad.WaitForUnits(2));
  EXPECT_THAT(pad.Notifications(), ElementsAre("00"));
  EXPECT_THAT(pad.Commands(), ElementsAre("C54", "C54"));
  EXPECT_THAT(op.shown, IsEmpty());
}

// The card hears the decision the host gets; authorizations with letters are common.
TEST_F(OptimumFlowTest, TheChipCardHearsTheGatewaysDecision) {
  int sale = 0;
  gateway.SetScript([&sale](const sim::GatewayRequest&, sim::GatewayAnswer& answer) {
    ++sale;
    if (sale == 1) answer.Set("response_message", "DECLINADA").Set("authorization_number", "");
    if (sale == 2) answer.Set("authorization_number", "000000");
    if (sale == 3) answer.Set("response_message", "DEMO - APROBADA");
    if (sale == 4) answer.Set("authorization_number", "AB12");
  });
  for (int i = 0; i < 4; ++i) pad.Queue(OptimumReading::Chip());

  EXPECT_EQ(Sell(Venta(10)).Item("Response_Message"), "DECLINADA");
  EXPECT_THAT(op.shown, IsEmpty());
  EXPECT_EQ(Sell(Venta(10)).Item("ID_Tx"), "-4");  // approved in words only: in doubt
  op.shown.clear();
  EXPECT_EQ(Sell(Venta(10)).Item("Response_Message"), "DEMO - APROBADA");
  const Dictionary letters = Sell(Venta(10));
  EXPECT_EQ(letters.Item("Response_Message"), "APROBADA");
  EXPECT_EQ(letters.Item("Authorization_Number"), "AB12");
  ASSERT_TRUE(pad.WaitForUnits(8));
  EXPECT_THAT(pad.Notifications(), ElementsAre("01", "01", "00", "00"));
  EXPECT_THAT(op.shown, IsEmpty());
}

TEST_F(OptimumFlowTest, Status16ThreeTimesAsksThreeTimesThenGivesTheFirstValues) {
  pad.Queue(OptimumReading::Error(16))
      .Queue(OptimumReading::Error(16))
      .Queue(OptimumReading::Error(16))
      .Queue(OptimumReading::Stripe());  // a fourth request would get a card
  const Dictionary result = Sell(Venta(50));
  EXPECT_EQ(pad.CardRequests().size(), 3u);
  EXPECT_EQ(gateway.RequestCount(), 0u);
  EXPECT_EQ(result.Keys(), kFirstKeys);
  EXPECT_EQ(result.Item("Response_Message"), "ERROR AL LEER TARJETA, REINTENTE");
  EXPECT_EQ(result.Item("ID_Tx"), "-3");
  EXPECT_EQ(result.Item("Amount"), "50");
  EXPECT_THAT(pad.Displays(), IsEmpty());
  EXPECT_THAT(op.shown, IsEmpty());
}

TEST_F(OptimumFlowTest, Status16ThenACardGoesOnWithTheNewStatus) {
  pad.Queue(OptimumReading::Error(16))
      .Queue(OptimumReading::Error(16))
      .Queue(OptimumReading::Stripe());
  const Dictionary result = Sell(Venta(50));
  EXPECT_EQ(pad.CardRequests().size(), 3u);
  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
  EXPECT_EQ(gateway.RequestCount(), 1u);
}

TEST_F(OptimumFlowTest, EveryRefusalHasItsTextAndOnlyTenAnd99ShowOne) {
  struct Case {
    int status;
    const char* message;
    std::vector<std::string> shown;
  };
  const std::vector<Case> cases = {
      {10, "OPERACION CANCELADA", {"OPERACION CANCELADA"}},
      {13, "CARGA DE LLAVE FALLIDA", {}},
      {11, "NO SE DETECTO TARJETA", {}},
      {12, "TARJETA INVALIDA", {}},
      {14, "ERROR LECTURA PIN", {}},
      {15, "Tarjeta Vencida", {}},
      {99, "ERROR AL LEER TARJETA, REINTENTE", {"Error al leer la tarjeta."}},
      {42, "ERROR AL LEER TARJETA, REINTENTE", {}},
  };
  std::vector<std::string> shown;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    pad.Queue(OptimumReading::Error(c.status));
    const Dictionary result = Sell(Venta(20));
    EXPECT_EQ(result.Item("Response_Message"), c.message);
    EXPECT_EQ(result.Keys(), kFirstKeys);
    EXPECT_EQ(result.Item("ID_Tx"), "-3");
    shown.insert(shown.end(), c.shown.begin(), c.shown.end());
    EXPECT_EQ(pad.Displays(), shown);
  }
  EXPECT_EQ(gateway.RequestCount(), 0u);
  EXPECT_EQ(pad.CardRequests().size(), cases.size());  // one card request each, nothing more
  EXPECT_THAT(op.shown, IsEmpty());
}

TEST_F(OptimumFlowTest, ASilentTerminalGives99) {
  pad.Queue(OptimumReading::Silence());
  const double start = clock.Now();
  const Dictionary result = Sell(Venta(20));
  EXPECT_GE(clock.Now() - start, drivers::optimum::kPlazoRecibeOptimum);
  EXPECT_EQ(result.Item("Response_Message"), "ERROR AL LEER TARJETA, REINTENTE");
  EXPECT_THAT(pad.Displays(), ElementsAre("Error al leer la tarjeta."));
}

TEST_F(OptimumFlowTest, CAndDBothOneIsNotACardReading) {
  OptimumReading odd = OptimumReading::Stripe();
  odd.c = "1";
  odd.d = "1";
  pad.Queue(odd);
  const Dictionary result = Sell(Venta(20));
  EXPECT_THAT(pad.Displays(), ElementsAre("Error al leer la tarjeta. Reintente"));
  EXPECT_EQ(gateway.RequestCount(), 0u);
  EXPECT_EQ(result.Item("Response_Message"), "ERROR AL LEER TARJETA, REINTENTE");
  EXPECT_EQ(result.Item("ID_Tx"), "-3");
}

TEST_F(OptimumFlowTest, AnAmountWithCentavosIsNeverSentToTheTerminal) {
  pad.Queue(OptimumReading::Stripe());
  const Dictionary result = Sell(Venta(10.5));
  EXPECT_THAT(pad.Commands(), IsEmpty());
  EXPECT_EQ(gateway.RequestCount(), 0u);
  EXPECT_THAT(result.Item("Response_Message"), HasSubstr("pesos enteros"));
  ASSERT_EQ(op.shown.size(), 1u);
  EXPECT_EQ(op.shown[0].text, "TOVALIX: " + result.Item("Response_Message"));
  EXPECT_EQ(result.Item("ID_Tx"), "-3");
}

TEST_F(OptimumFlowTest, AGatewayOutOfReachKeepsTheDefaultResultAndTheCardHears01) {
  parametros.UrlGateway = "http://127.0.0.1:1/gateway.asp";
  pad.Queue(OptimumReading::Chip());
  const Dictionary result = Sell(Venta(20));
  EXPECT_EQ(result.Item("ID_Tx"), "-3");
  ASSERT_TRUE(pad.WaitForUnits(2));
  EXPECT_THAT(pad.Notifications(), ElementsAre("01"));
}

// --- the serial number of the initialization -------------------------------------------------

TEST_F(OptimumFlowTest, SerieOptimumReadsTheSerialNumberAfterP57A) {
  link.Abre(pad.PortPath());
  EXPECT_EQ(SerieOptimum(link, op), sim::OptimumPinPad::kDefaultSerial);
  EXPECT_EQ(pad.SerialRequests(), 1);
  EXPECT_EQ(link.GetFormat().shape, serial::FrameShape::kOptimum);
  link.Cierra();

  sim::OptimumPinPad other("H2-0099");
  link.Abre(other.PortPath());
  EXPECT_EQ(SerieOptimum(link, op), "H2-0099");
  EXPECT_THAT(op.shown, IsEmpty());
}

TEST_F(OptimumFlowTest, SerieOptimumIsEmptyWhenRefusedOrWithoutANumber) {
  sim::ScriptedPinPad refusing(sim::OptimumFraming);
  refusing.Expect("", {sim::Reply{sim::OptimumFrame("E57A")}})
      .Expect("", {sim::Reply{sim::OptimumFrame("P57A")}})
      .Expect("", {sim::Reply{"P57A12345"}});  // no frame around it
  link.Abre(refusing.PortPath());
  EXPECT_EQ(SerieOptimum(link, op), "");
  EXPECT_EQ(SerieOptimum(link, op), "");
  EXPECT_EQ(SerieOptimum(link, op), "");
  EXPECT_THAT(refusing.Mismatches(), IsEmpty());
}

// --- the simulator reads what it is sent ----------------------------------------------------

TEST_F(OptimumFlowTest, TheSimulatorRefusesFramesItCannotRead) {
  link.SetFormat(drivers::FindModel("OPTIMUM")->format);
  link.Abre(pad.PortPath());
  std::string bad = sim::OptimumFrame("C50AHOLA");
  bad.back() = static_cast<char>(bad.back() ^ 0x11);
  EXPECT_EQ(drivers::optimum::EnviaOptimum(link, bad, "50"), 0);
  EXPECT_EQ(drivers::optimum::EnviaOptimum(link, sim::OptimumFrame("C50AHOLA"), "50"), 1);
  link.Cierra();
  ASSERT_EQ(pad.Problems().size(), 1u);
  EXPECT_THAT(pad.Problems()[0], HasSubstr("LRC"));
  EXPECT_THAT(pad.Displays(), ElementsAre("HOLA"));
}

// --- tovalix-sim pinpad optimum ------------------------------------------------------------

// The first line the command prints, read within a few real seconds; "" when none came.
std::string FirstLine(int fd) {
  std::string line;
  for (;;) {
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 5000) <= 0) return "";
    char c = 0;
    if (::read(fd, &c, 1) != 1) return "";
    if (c == '\n') return line;
    line += c;
  }
}

TEST(OptimumSimCommand, ServesOnThePtyItPrintsUntilSigterm) {
  const char* build = std::getenv("TOVALIX_BUILD_DIR");
  ASSERT_NE(build, nullptr) << "run through ctest";
  const std::string program = std::string(build) + "/bin/tovalix-sim";
  ASSERT_TRUE(std::filesystem::exists(program)) << program;
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::execl(program.c_str(), "tovalix-sim", "pinpad", "optimum", "--serial", "SIM-42", "--card",
            "stripe", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  const std::string port = FirstLine(out[0]);
  ::close(out[0]);
  ASSERT_EQ(port.rfind("/dev/", 0), 0u) << port;

  testing::RecordingOperator op;
  platform::FastClock clock{50};
  serial::SerialLink link{op, clock};
  link.Abre(port);
  EXPECT_EQ(SerieOptimum(link, op), "SIM-42");
  link.Cierra();

  ::kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace tovalix::drivers::optimum
