// The Optimum sale flow end to end: the flow drives the simulated terminal through a real pty
// and posts to the simulated gateway on 127.0.0.1. Deadlines run on a fast clock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "optimum_fixture.hpp"
#include "sim/pinpad/scripted_pinpad.hpp"
#include "support/sale_layouts.hpp"

namespace tovalix::drivers::optimum {
namespace {

using sim::OptimumReading;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const testing::Keys& kFirstKeys = testing::kVerifoneFirstKeys;
constexpr const char* kFirstMessage = "ERROR AL LEER TARJETA, REINTENTE";
constexpr double kAnswerDeadline = 50;  // seconds the terminal is given to answer a card request

using OptimumFlowTest = OptimumFixture;

TEST_F(OptimumFlowTest, StripeSaleAsksForTheCardAndPostsTheRecordInItsOrder) {
  pad.Queue(OptimumReading::Stripe());
  SolicitudVenta sale = Venta(125);
  sale.Tip = Money::FromCentavos(1000);
  sale.Total = Money::FromCentavos(13500);
  // "DDMMYY" and "HHMM" of a wall time, as the card request carries them.
  const auto stamp = [](const platform::WallTime& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d %02d%02d", t.date.day, t.date.month,
                  t.date.year % 100, t.hour, t.minute);
    return std::string(text);
  };
  const std::string before = stamp(platform::LocalNow());
  const Dictionary result = Sell(sale);
  const std::string after = stamp(platform::LocalNow());
  EXPECT_EQ(result.Item("ID_Tx"), "100001");
  EXPECT_EQ(result.Item("Pos_entry_mode"), "1");

  ASSERT_EQ(pad.CardRequests().size(), 1u);
  const sim::OptimumCardRequest c54 = pad.CardRequests()[0];
  EXPECT_TRUE(c54.complete);
  EXPECT_EQ(c54.prompt + "|" + c54.amount + "|" + c54.tip + "|" + c54.f + "|" + c54.g + "|" + c54.h,
            "INSERTE O DESLICE TARJETA|000000000125|000000000010|0484|00|00");
  const std::string when = c54.date + " " + c54.time;
  EXPECT_TRUE(when == before || when == after) << when;

  EXPECT_EQ(Record(),
            "Id_Store=5&Amount=125&tip=10&total=135&id_transaction=8001&"
            "track2=4152000000000016=30121010000000000&serial=OPT00012345&ptid=4711&"
            "operation_type=1&authorization_number=&pos_entry_mode=1&emv_tags=&cvv2=&"
            "process_type=CDSaleCancel&ID_Client_Tx=31&ID_Server_Tx=32&InitialDeferment=&"
            "NumberOfPayments=&PlanType=&track1=B4152000000000016^PRUEBA/TARJETA^3012101000000000");
  EXPECT_THAT(pad.Problems(), IsEmpty());
  EXPECT_EQ(modo_entrada, 0) << "the Optimum posts the terminal's entry mode, not ModoEntrada";
}

// One sale after another, by what the card reading gave: the card requests made (a status 16
// asks again, never a fourth time), the texts shown (C50; only for 10 and 99) and the message the
// host gets; a silent terminal gives 99 after the deadline, C and D both "1" is no reading.
// For a sale, the entry mode and the chip elements posted (the table's elements in table order
// with one-byte hex lengths; 9A and 9F03 dropped) and what the chip card heard.
TEST_F(OptimumFlowTest, EachReadingEndsItsOwnWay) {
  const OptimumReading again = OptimumReading::Error(16), stripe = OptimumReading::Stripe();
  OptimumReading odd = stripe;
  odd.c = odd.d = "1";
  struct Case {
    std::vector<OptimumReading> readings;
    const char *requests, *shown, *message;
    const char *pos_entry_mode = nullptr, *emv_tags = "", *told = "";  // a sale's
    bool waits = false;                                                // for the answer's deadline
  };
  // clang-format off
  const Case cases[] = {
      {{OptimumReading::Error(10)}, "C54 C50", "OPERACION CANCELADA", "OPERACION CANCELADA"},
      {{OptimumReading::Error(13)}, "C54", "", "CARGA DE LLAVE FALLIDA"},
      {{OptimumReading::Error(11)}, "C54", "", "NO SE DETECTO TARJETA"},
      {{OptimumReading::Error(12)}, "C54", "", "TARJETA INVALIDA"},
      {{OptimumReading::Error(14)}, "C54", "", "ERROR LECTURA PIN"},
      {{OptimumReading::Error(15)}, "C54", "", "Tarjeta Vencida"},
      {{OptimumReading::Error(99)}, "C54 C50", "Error al leer la tarjeta.", kFirstMessage},
      {{OptimumReading::Error(42)}, "C54", "", kFirstMessage},
      {{odd}, "C54 C50", "Error al leer la tarjeta. Reintente", kFirstMessage},
      {{OptimumReading::Silence()}, "C54 C50", "Error al leer la tarjeta.", kFirstMessage, nullptr, "",
       "", true},
      {{again, again, again}, "C54 C54 C54", "", kFirstMessage},
      {{stripe}, "C54", "", "APROBADA", "1"},
      {{OptimumReading::Fallback()}, "C54", "", "APROBADA", "3"},
      {{again, again, stripe}, "C54 C54 C54", "", "APROBADA", "1"},
      {{OptimumReading::Chip()}, "C54 C54", "", "APROBADA", "2",
       "5F2A020484" "82025C00" "8407A0000000031010" "95050000008000" "9C0100" "9F0206000000012500"
       "9F100706011103A00000" "9F1A020484" "9F26081122334455667788" "9F270180" "9F36020001"
       "9F3704A1B2C3D4" "5F340101", "00"},
  };
  // clang-format on
  std::size_t sold = 0, units = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const std::size_t commands = pad.Commands().size(), shown = pad.Displays().size(),
                      told = pad.Notifications().size();
    for (const OptimumReading& reading : c.readings) pad.Queue(reading);
    const double start = clock.Now();
    const Dictionary result = Sell(Venta(125));
    EXPECT_EQ(clock.Now() - start >= kAnswerDeadline, c.waits);
    EXPECT_EQ(result.Item("Response_Message"), c.message);
    units += std::string_view(c.requests).size() / 4 + 1;  // a unit a command
    ASSERT_TRUE(pad.WaitForUnits(units));
    EXPECT_EQ(testing::Since(pad.Commands(), commands), c.requests);
    EXPECT_EQ(testing::Since(pad.Displays(), shown, "|"), c.shown);
    EXPECT_EQ(testing::Since(pad.Notifications(), told), c.told);
    const bool chip = *c.told != '\0';
    EXPECT_EQ(result.Item("ARQC"), chip ? OptimumReading::kArqc : "");
    EXPECT_EQ(result.Item("AID"), chip ? OptimumReading::kAid : "");
    const auto requests = gateway.Requests();
    if (c.pos_entry_mode == nullptr) {
      EXPECT_EQ(result.Keys(), kFirstKeys);
      EXPECT_EQ(result.Item("ID_Tx") + "|" + result.Item("Amount"), "-3|125");
      EXPECT_EQ(requests.size(), sold);
      continue;
    }
    ASSERT_EQ(requests.size(), ++sold);
    EXPECT_EQ(requests.back().Value("pos_entry_mode"), c.pos_entry_mode);
    EXPECT_EQ(requests.back().Value("emv_tags"), c.emv_tags);
    EXPECT_EQ(requests.back().Value("track2"), OptimumReading::kTrack2);
  }
  EXPECT_THAT(op.shown, IsEmpty());
}

// The card hears the decision the host gets; authorizations with letters are common. Approved
// in words only is in doubt; a gateway out of reach leaves the default result.
TEST_F(OptimumFlowTest, TheChipCardHearsTheGatewaysDecision) {
  struct Case {
    const char *message, *authorization, *url;
    const char *result, *id_tx, *told;
    std::size_t boxes;  // a sale in doubt and a gateway out of reach are told
  };
  const std::string unreachable = "http://127.0.0.1:1/gateway.asp";
  // clang-format off
  const Case cases[] = {
      {"DECLINADA", "", nullptr, "DECLINADA", "100001", "01", 0},
      {nullptr, "000000", nullptr, nullptr, "-4", "01", 1},
      {"DEMO - APROBADA", nullptr, nullptr, "DEMO - APROBADA", "100003", "00", 0},
      {nullptr, "AB12", nullptr, "APROBADA", "100004", "00", 0},
      {nullptr, nullptr, unreachable.c_str(), nullptr, "-3", "01", 1},
  };
  // clang-format on
  std::size_t units = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.told);
    gateway.SetScript([&c](const sim::GatewayRequest&, sim::GatewayAnswer& answer) {
      if (c.message) answer.Set("response_message", c.message);
      if (c.authorization) answer.Set("authorization_number", c.authorization);
    });
    if (c.url) parametros.UrlGateway = c.url;
    pad.Queue(OptimumReading::Chip());
    const std::size_t told = pad.Notifications().size();
    const Dictionary result = Sell(Venta(10));
    if (c.result) {
      EXPECT_EQ(result.Item("Response_Message"), c.result);
    }
    EXPECT_EQ(result.Item("ID_Tx"), c.id_tx);
    if (c.authorization) {
      EXPECT_EQ(result.Item("Authorization_Number"), c.authorization);
    }
    ASSERT_TRUE(pad.WaitForUnits(units += 2));  // the card request and the chip result
    EXPECT_EQ(testing::Since(pad.Notifications(), told), c.told);
    EXPECT_EQ(op.shown.size(), c.boxes);
    op.shown.clear();
  }
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
  link.Cierra();
  // Refused, without a number, or without a frame around it: none.
  sim::ScriptedPinPad refusing(sim::OptimumFraming);
  for (const std::string& answer :
       {sim::OptimumFrame("E57A"), sim::OptimumFrame("P57A"), std::string("P57A12345")})
    refusing.Expect("", {sim::Reply{answer}});
  link.Abre(refusing.PortPath());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(SerieOptimum(link, op), "");
  EXPECT_THAT(refusing.Mismatches(), IsEmpty());
}

}  // namespace
}  // namespace tovalix::drivers::optimum
