// The Ingenico sale flow against the simulated Ingenico on a real pty and the simulated gateway
// on loopback, on both models. Deadlines run on a fast clock. Card numbers are made up.
#include "drivers/ingenico/sale.hpp"
#include "drivers/models.hpp"
#include "drivers/optimum/sale.hpp"
#include "drivers/vx810/sale.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

#include "drivers/ingenico/commands.hpp"
#include "serial/generales.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "sim/ingenico/ingenico_simulator.hpp"
#include "support/sale_layouts.hpp"
#include "support/terminal_fixture.hpp"
#include "support/test_environment.hpp"

namespace tovalix::drivers::ingenico {
namespace {

using namespace std::chrono_literals;
using sim::CardReading;
using sim::IngenicoFault;
using sim::IngenicoScreen;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr const char* kChipPan = "4000001234567899";
constexpr const char* kStripePan = "5000009876543210";
constexpr const char* kValid = "4912";
constexpr const char* kExpired = "1201";
constexpr const char* kPrompt = "Inserte /Deslice";

struct ModelCase {
  Modelo modelo;
  sim::IngenicoModel simulated;
  const char* name;
};
void PrintTo(const ModelCase& model, std::ostream* out) {
  *out << model.name;
}

class IngenicoFlowTest : public ::testing::TestWithParam<ModelCase>,
                         public testing::FlowBench<sim::GatewaySimulator> {
 protected:
  IngenicoFlowTest() : pad(GetParam().simulated) {
    parametros.IdStore = "1234";
    parametros.Serie = "SERIE-01";
    parametros.PTid = "100200300";
    parametros.Tipo = GetParam().modelo == Modelo::kIPP320 ? "IPP320" : "INGENICO3070";
    parametros.UrlGateway = gateway.Url();
    parametros.TimeOutCreditDebit = "10";
    puerto = pad.PortPath();
    solicitud.ID_Store = 1234;
    solicitud.Amount = Money::FromCentavos(15050);
    solicitud.Total = Money::FromCentavos(15050);
    solicitud.ID_Transaction = 77;
    solicitud.Operation_Type = 1;
    solicitud.ID_Client_Tx = 5;
    solicitud.TimeOut = "10";
  }

  Dictionary Sale() {
    EntornoVenta entorno = Entorno();
    return Finished(VentaIngenico(entorno, solicitud, GetParam().modelo));
  }

  std::vector<IngenicoScreen::Kind> Kinds() const {
    std::vector<IngenicoScreen::Kind> kinds;
    for (const auto& screen : pad.Screens()) kinds.push_back(screen.kind);
    return kinds;
  }

  sim::IngenicoSimulator pad;
  SolicitudVenta solicitud;
};

using Kind = IngenicoScreen::Kind;

// --- readings that never reach the gateway ------------------------------------------------

TEST_P(IngenicoFlowTest, NoAnswerToIC0EndsWithTheReadingErrorAfterItsDeadline) {
  pad.AddFault("IC0", IngenicoFault{.silent = true});
  const double start = clock.Now();
  const Dictionary result = Sale();
  EXPECT_GE(clock.Now() - start, serial::SerialLink::kPlazoRecibe);
  EXPECT_EQ(result.Item("Response_Message"), "ERROR DE LECTURA DE LA TARJETA,REINTENTAR");
  EXPECT_EQ(result.Item("ID_Tx"), "-3");
  EXPECT_EQ(result.Item("Authorization_Number"), "000000");
  EXPECT_EQ(result.Item("Amount"), "150.5");
  EXPECT_EQ(gateway.RequestCount(), 0u);
  EXPECT_THAT(pad.Commands(), ElementsAre("DSP", "IC0", "DSP"));
  EXPECT_THAT(Kinds(), ElementsAre(Kind::kLogo, Kind::kLogo));
  EXPECT_EQ(modo_entrada, 0);
}

TEST_P(IngenicoFlowTest, ChipErrorThreeTimesAsksForTheCardBack) {
  for (int i = 0; i < 3; ++i) pad.QueueReading(CardReading::OnlyStatus(0x01));
  const Dictionary result = Sale();
  EXPECT_EQ(result.Item("Response_Message"), "ERROR EN LECTURA DE CHIP");
  EXPECT_EQ(result.Item("ID_Tx"), "-3");
  EXPECT_EQ(gateway.RequestCount(), 0u);
  EXPECT_THAT(pad.Commands(), ElementsAre("DSP", "IC0", "IC0", "IC0", "RMV", "DSP"));
  EXPECT_THAT(pad.Displays(), ElementsAre(kPrompt, kPrompt, kPrompt, "ERROR EN LECTURA DE CHIP"));
  for (const auto& request : pad.CardRequests()) {
    EXPECT_EQ(request.amount, "000000015050");
    EXPECT_EQ(request.tip, "000000000000");
  }
}

TEST_P(IngenicoFlowTest, ExpiredSwipedCardIsRefusedButAChipCardIsNotStopped) {
  pad.QueueReading(CardReading::Stripe(kStripePan, kExpired));
  Dictionary result = Sale();
  EXPECT_EQ(result.Item("Response_Message"), "TARJETA VENCIDA");
  EXPECT_EQ(result.Item("ID_Tx"), "-3");
  EXPECT_THAT(pad.Displays(), ElementsAre(kPrompt, "TARJETA EXPIRADA"));
  EXPECT_EQ(gateway.RequestCount(), 0u);
  EXPECT_THAT(op.shown, IsEmpty());

  pad.QueueReading(CardReading::Chip(kChipPan, kExpired));
  result = Sale();
  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
  EXPECT_EQ(Posted().Value("pos_entry_mode"), "2");
}

TEST_P(IngenicoFlowTest, CardholderStatusesEndTheReadingWithTheirTexts) {
  pad.QueueReading(CardReading::OnlyStatus(0x02));
  EXPECT_EQ(Sale().Item("Response_Message"), "TARJETA RETIRADA ANTES DE TIEMPO");
  pad.QueueReading(CardReading::OnlyStatus(0x03));
  EXPECT_EQ(Sale().Item("Response_Message"), "COBRO CANCELADO");
  EXPECT_THAT(pad.Displays(),
              ElementsAre(kPrompt, "RETIRO TARJETA  ANTES DE TIEMPO", kPrompt, "COBRO CANCELADO"));
  EXPECT_EQ(gateway.RequestCount(), 0u);
}

TEST_P(IngenicoFlowTest, StripeErrorsRetryTwiceThenGiveUp) {
  for (int i = 0; i < 3; ++i) pad.QueueReading(CardReading::OnlyStatus(0x07));
  const Dictionary result = Sale();
  EXPECT_EQ(result.Item("Response_Message"), "ERROR DE LECTURA DE LA TARJETA,REINTENTAR");
  EXPECT_THAT(pad.Displays(), ElementsAre(kPrompt, "ERROR LECTURA DE BANDA REINTENTE", kPrompt,
                                          "ERROR LECTURA DE BANDA REINTENTE", kPrompt,
                                          "ERROR USE OTRO  MEDIO DE PAGO"));
  EXPECT_THAT(pad.Commands(), Not(Contains("RMV")));

  // An unknown status gets one more try only.
  pad.QueueReading(CardReading::OnlyStatus(0x09));
  pad.QueueReading(CardReading::OnlyStatus(0x09));
  pad.QueueReading(CardReading::Chip(kChipPan, kValid));  // never asked for
  Sale();
  const auto displays = pad.Displays();
  EXPECT_THAT(
      std::vector(displays.end() - 4, displays.end()),
      ElementsAre(kPrompt, "ERROR EN LECTURA REINTENTE", kPrompt, "ERROR, USE OTRO MEDIO DE PAGO"));
  EXPECT_EQ(pad.ReadingsLeft(), 1u);
  EXPECT_EQ(gateway.RequestCount(), 0u);
}

TEST_P(IngenicoFlowTest, ChipCardSwipedThreeTimesIsSentAway) {
  for (int i = 0; i < 3; ++i) pad.QueueReading(CardReading::ChipSwiped(kChipPan, kValid));
  Sale();
  EXPECT_THAT(pad.Displays(),
              ElementsAre(kPrompt, "TARJETA CON CHIP   INSERTE", kPrompt,
                          "TARJETA CON CHIP   INSERTE", kPrompt, "UTILICE OTRA    FORMA DE PAGO"));
  EXPECT_EQ(gateway.RequestCount(), 0u);
}

// --- sales --------------------------------------------------------------------------------

TEST_P(IngenicoFlowTest, ChipSaleApprovedCompletesTheCard) {
  pad.QueueChipCard(kChipPan, kValid);
  const Dictionary result = Sale();
  EXPECT_THAT(op.shown, IsEmpty());
  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
  EXPECT_NE(result.Item("ID_Tx"), "-3");
  EXPECT_EQ(result.Item("ARQC"), "1A2B3C4D5E6F7081");
  EXPECT_EQ(result.Item("AID"), "A0000000031010");
  EXPECT_EQ(modo_entrada, 2);

  EXPECT_THAT(pad.Commands(), ElementsAre("DSP", "IC0", "DSP", "IC1", "DSP", "RMV", "DSP"));
  EXPECT_THAT(Kinds(), ElementsAre(Kind::kLogo, Kind::kCardPrompt, Kind::kLogo, Kind::kClear,
                                   Kind::kRemoval, Kind::kLogo));
  EXPECT_EQ(pad.Displays().back(), " RETIRE TARJETA");
  ASSERT_EQ(pad.Completions().size(), 1u);
  const sim::CardCompletion completion = pad.Completions().front();
  EXPECT_EQ(completion.status, "00");
  EXPECT_EQ(completion.code, "00");
  EXPECT_EQ(completion.authorization, result.Item("Authorization_Number"));

  const sim::GatewayRequest posted = Posted();
  EXPECT_EQ(posted.Value("pos_entry_mode"), "2");
  EXPECT_EQ(posted.Value("track2"), std::string(kChipPan) + "=" + kValid + "2010000");
  std::string track1 = CardReading::Chip(kChipPan, kValid).track1;
  track1.resize(81, ' ');  // read on the chip: 81 fixed bytes
  EXPECT_EQ(posted.Value("track1"), track1);
  // Kept objects in the table's order; the transaction date 9A is dropped.
  EXPECT_EQ(posted.Value("emv_tags"),
            "5F2A020484"
            "5F340101"
            "9F0206000000015050"
            "9F100706010A03A00000"
            "9F1A020484"
            "9F26081A2B3C4D5E6F7081"
            "9F270180"
            "9F3303E0F8C8"
            "9F34031E0300"
            "9F36020042"
            "9F370412345678"
            "95050000008000"
            "9C0100"
            "82021800"
            "8407A0000000031010");
}

// The card hears the decision the host gets. Approved in words with an authorization of zero
// is in doubt ("-4") and the card hears "01"; an authorization that is no number (letters, or
// beyond 32 bits) is not zero: still approved, instead of the sale stopping half-way.
TEST_P(IngenicoFlowTest, TheCardHearsTheGatewaysDecision) {
  struct Case {
    const char *message, *authorization;
    bool in_doubt;
    const char* status;
  };
  const Case cases[] = {{"DECLINADA", "123456", false, "01"},
                        {"APROBADA", "000000", true, "01"},
                        {"APROBADA", "A1B2C3", false, "00"},
                        {"APROBADA", "99999999999", false, "00"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.authorization);
    pad.QueueChipCard(kChipPan, kValid);
    gateway.SetScript([&c](const sim::GatewayRequest&, sim::GatewayAnswer& answer) {
      answer.Set("response_message", c.message).Set("authorization_number", c.authorization);
    });
    const Dictionary result = Sale();
    EXPECT_EQ(result.Item("ID_Tx") == "-4", c.in_doubt);
    if (!c.in_doubt) {
      EXPECT_EQ(result.Item("Response_Message"), c.message);
    }
    EXPECT_EQ(op.shown.size(), c.in_doubt ? 1u : 0u);  // a sale in doubt is told
    op.shown.clear();
    ASSERT_FALSE(pad.Completions().empty());
    EXPECT_EQ(pad.Completions().back().status, c.status);
    EXPECT_EQ(pad.Completions().back().code, c.status);
    EXPECT_EQ(pad.Completions().back().authorization, c.authorization);
    EXPECT_EQ(pad.Displays().back(), " RETIRE TARJETA");
  }
  EXPECT_EQ(pad.Completions().size(), std::size(cases));
}

TEST_P(IngenicoFlowTest, ChipSaleWithoutAuthorizationSkipsIC1ButClearsAndAsksForTheCard) {
  pad.QueueChipCard(kChipPan, kValid);
  gateway.SetScript([](const sim::GatewayRequest&, sim::GatewayAnswer& answer) {
    answer.Set("authorization_number", "  ");
  });
  Sale();
  EXPECT_THAT(pad.Commands(), ElementsAre("DSP", "IC0", "DSP", "DSP", "RMV", "DSP"));
  EXPECT_THAT(Kinds(), ElementsAre(Kind::kLogo, Kind::kCardPrompt, Kind::kLogo, Kind::kClear,
                                   Kind::kRemoval, Kind::kLogo));
  EXPECT_THAT(pad.Completions(), IsEmpty());
}

TEST_P(IngenicoFlowTest, ChipCardSwipedThenInsertedIsSoldOnTheChip) {
  pad.QueueReading(CardReading::ChipSwiped(kChipPan, kValid));
  pad.QueueChipCard(kChipPan, kValid);
  const Dictionary result = Sale();
  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
  EXPECT_THAT(pad.Displays(),
              ElementsAre(kPrompt, "TARJETA CON CHIP   INSERTE", kPrompt, " RETIRE TARJETA"));
  EXPECT_EQ(Posted().Value("pos_entry_mode"), "2");
  EXPECT_EQ(pad.Completions().size(), 1u);
}

TEST_P(IngenicoFlowTest, StripeSalePostsTheRecordInItsOrder) {
  pad.QueueStripeCard(kStripePan, kValid);
  solicitud.InitialDeferment = "03";
  solicitud.NumberOfPayments = "06";
  solicitud.PlanType = "01";
  const Dictionary result = Sale();
  EXPECT_THAT(op.shown, IsEmpty());
  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
  EXPECT_EQ(result.Item("Truncated"), "XXXXXXXXXXXX3210");
  EXPECT_EQ(result.Item("ARQC"), "");
  EXPECT_EQ(modo_entrada, 1);
  // A swiped card ends with the gateway's answer: no IC1, no removal request.
  EXPECT_THAT(pad.Commands(), ElementsAre("DSP", "IC0", "DSP", "DSP"));

  const sim::GatewayRequest posted = Posted();
  const std::string track2 = std::string(kStripePan) + "=" + kValid + "1010000";
  const std::string track1 = CardReading::Stripe(kStripePan, kValid).track1;
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const auto& pair : posted.pairs) pairs.emplace_back(pair.name, pair.value);
  using P = std::pair<std::string, std::string>;
  EXPECT_THAT(
      pairs, ElementsAre(P{"Id_Store", "1234"}, P{"Amount", "150.5"}, P{"tip", "0"},
                         P{"total", "150.5"}, P{"id_transaction", "77"}, P{"track2", track2},
                         P{"serial", "SERIE-01"}, P{"ptid", "100200300"}, P{"operation_type", "1"},
                         P{"authorization_number", ""}, P{"pos_entry_mode", "1"}, P{"emv_tags", ""},
                         P{"cvv2", ""}, P{"process_type", "CDSaleCancel"}, P{"ID_Client_Tx", "5"},
                         P{"ID_Server_Tx", "0"}, P{"InitialDeferment", "03"},
                         P{"NumberOfPayments", "06"}, P{"PlanType", "01"}, P{"track1", track1}));
}

TEST_P(IngenicoFlowTest, FallbackReadingIsSoldAsEntryModeThree) {
  pad.QueueReading(CardReading::OnlyStatus(0x04));
  pad.QueueReading(CardReading::Fallback(kChipPan, kValid));
  const Dictionary result = Sale();
  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
  EXPECT_EQ(modo_entrada, 3);
  const sim::GatewayRequest posted = Posted();
  EXPECT_EQ(posted.Value("pos_entry_mode"), "3");
  // Read in fallback mode: track 1 by its own length, though the service code says chip.
  EXPECT_EQ(posted.Value("track1"), CardReading::Fallback(kChipPan, kValid).track1);
  EXPECT_THAT(pad.Commands(), Not(Contains("IC1")));
}

// --- faults -------------------------------------------------------------------------------

TEST_P(IngenicoFlowTest, GarbledOrSplitAnswersAndRefusedCommandsStillComplete) {
  pad.AddFault("IC0", IngenicoFault{.garbled = true});
  pad.AddFault("DSP", IngenicoFault{.nak = true});
  pad.AddFault("RMV", IngenicoFault{.how = sim::Delivery().SplitAt({3, 6}, 5ms)});
  pad.AddFault("IC1", IngenicoFault{.how = sim::Delivery().WithGarbage("\x06\x01", "")});
  pad.QueueChipCard(kChipPan, kValid);
  const Dictionary result = Sale();
  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
  EXPECT_EQ(pad.NaksReceived(), 1);  // the garbled IC0 answer, then its good copy
  EXPECT_EQ(pad.CardRequests().size(), 1u);
  EXPECT_THAT(pad.Commands(), ElementsAre("DSP", "DSP", "IC0", "DSP", "IC1", "DSP", "RMV", "DSP"));
  EXPECT_EQ(pad.Completions().size(), 1u);
}

TEST_P(IngenicoFlowTest, PortIsClosedAfterAHangUp) {
  if (!sim::LineShowsHangUp()) GTEST_SKIP() << "a null-modem pair of COM ports never hangs up";
  pad.QueueChipCard(kChipPan, kValid);
  pad.AddFault("IC0", IngenicoFault{.how = sim::Delivery().HangUpAfter(20)});
  const Dictionary result = Sale();
  EXPECT_EQ(result.Item("ID_Tx"), "-3");
  EXPECT_EQ(gateway.RequestCount(), 0u);
  EXPECT_THAT(op.shown, Not(IsEmpty()));  // the link reported the lost port
}

TEST_P(IngenicoFlowTest, TwoSalesInARowOnOneLink) {
  pad.QueueChipCard(kChipPan, kValid);
  pad.QueueStripeCard(kStripePan, kValid);
  EXPECT_EQ(Sale().Item("Response_Message"), "APROBADA");
  EXPECT_EQ(Sale().Item("Response_Message"), "APROBADA");
  const auto requests = gateway.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].Value("pos_entry_mode"), "2");
  EXPECT_EQ(requests[1].Value("pos_entry_mode"), "1");
}

INSTANTIATE_TEST_SUITE_P(
    BothModels, IngenicoFlowTest,
    ::testing::Values(ModelCase{Modelo::kIngenico3070, sim::IngenicoModel::kIngenico3070,
                                "Ingenico3070"},
                      ModelCase{Modelo::kIPP320, sim::IngenicoModel::kIPP320, "IPP320"}),
    [](const ::testing::TestParamInfo<ModelCase>& model) { return model.param.name; });

// --- what the three serial models share ---------------------------------------------------

struct SerialModel {
  const char* tipo;
  Dictionary (*sale)(EntornoVenta&, const SolicitudVenta&);
  const testing::Keys* first_keys;
  const char* first_message;
};
void PrintTo(const SerialModel& model, std::ostream* out) {
  *out << model.tipo;
}

class SerialModels : public ::testing::TestWithParam<SerialModel>,
                     public testing::FlowBench<sim::GatewaySimulator> {};

TEST_P(SerialModels, APortThatWillNotOpenIsReportedOnceAndTheFirstValuesReturned) {
  parametros.Tipo = GetParam().tipo;
  parametros.UrlGateway = gateway.Url();
  puerto = (logs / "no-such-port").string();
  SolicitudVenta solicitud;
  solicitud.ID_Store = 5;
  solicitud.Amount = Money::FromCentavos(2000);
  solicitud.Total = solicitud.Amount;
  solicitud.ID_Transaction = 8;
  solicitud.Operation_Type = 1;
  solicitud.TimeOut = "10";
  EntornoVenta entorno = Entorno();
  const Dictionary result = Finished(GetParam().sale(entorno, solicitud));
  EXPECT_EQ(result.Keys(), *GetParam().first_keys);
  EXPECT_EQ(result.Item("Response_Message"), GetParam().first_message);
  EXPECT_EQ(result.Item("ID_Tx"), "-3");
  EXPECT_EQ(result.Item("Authorization_Number"), "000000");
  EXPECT_EQ(result.Item("ID_Store"), "5");
  EXPECT_EQ(result.Item("Amount"), "20");
  EXPECT_EQ(gateway.RequestCount(), 0u);
  ASSERT_EQ(op.shown.size(), 1u);  // the run-time error, reported once
  EXPECT_EQ(op.shown[0].style, Operator::kPlain);
  EXPECT_THAT(testing::ReadFile(logs / "tovalix.log"), HasSubstr(op.shown[0].text));
}

INSTANTIATE_TEST_SUITE_P(
    ThreeModels, SerialModels,
    ::testing::Values(SerialModel{"IPP320", VentaIPP320, &testing::kIngenicoFirstKeys,
                                  "ERROR DE LECTURA DE LA TARJETA,REINTENTAR"},
                      SerialModel{"Vx810", vx810::VentaVx810, &testing::kVerifoneFirstKeys,
                                  "ERROR EN LECTURA DE TARJETA, REINTENTE"},
                      SerialModel{"OPTIMUM", optimum::VentaOptimum, &testing::kVerifoneFirstKeys,
                                  "ERROR AL LEER TARJETA, REINTENTE"}),
    [](const ::testing::TestParamInfo<SerialModel>& model) { return model.param.tipo; });

// --- the simulator's own answers ----------------------------------------------------------

TEST(IngenicoSimulator, SerialNumberHasTheModelsLength) {
  sim::IngenicoSimulator i3070(sim::IngenicoModel::kIngenico3070);
  sim::IngenicoSimulator ipp320(sim::IngenicoModel::kIPP320);
  EXPECT_EQ(i3070.SerialNumber().size(), 6u);
  EXPECT_EQ(ipp320.SerialNumber().size(), 7u);
  EXPECT_THROW(i3070.SetSerialNumber("1234567"), std::invalid_argument);
  EXPECT_THROW(ipp320.SetSerialNumber("123456"), std::invalid_argument);
  ipp320.SetSerialNumber("ABC1234");
  EXPECT_EQ(ipp320.SerialNumber(), "ABC1234");
}

class IngenicoSimulatorTest : public ::testing::Test,
                              public testing::FlowBench<sim::GatewaySimulator> {};

// The initialization reads the serial number six (3070) or seven (iPP320) bytes after "CF0";
// a typed value comes back through ObtenCVV2.
TEST_F(IngenicoSimulatorTest, AnswersConfigurationAndKeyboardTheWayTheDriverReadsThem) {
  Ingenico driver(op, platform::LocalNow());
  for (const auto& [model, tipo, serial] :
       {std::tuple{sim::IngenicoModel::kIngenico3070, "INGENICO3070", "A30701"},
        std::tuple{sim::IngenicoModel::kIPP320, "IPP320", "B320002"}}) {
    sim::IngenicoSimulator pad(model);
    pad.SetSerialNumber(serial);
    pad.SetKeyboardEntry("987");
    link.SetFormat(drivers::FindModel(tipo)->format);
    link.Abre(pad.PortPath());
    ASSERT_EQ(link.EnviaRecibe(driver.ConfigPinPad(), kCodigoCF0), 1);
    const std::string spaced = serial::TextoAHex(link.BufferRecepcion());
    const std::size_t cf0 = spaced.find("43 46 30");
    ASSERT_NE(cf0, std::string::npos);
    EXPECT_EQ(spaced.substr(cf0 + 18, 3 * std::string(serial).size()), serial::TextoAHex(serial));
    ASSERT_EQ(link.EnviaRecibe(driver.CapturaEnPinPad(4, 3), kCodigoKBD), 1);
    EXPECT_EQ(driver.ObtenCVV2(serial::TextoAHex(link.BufferRecepcion())), "39 38 37 ");
    link.Cierra();
    EXPECT_THAT(pad.Commands(), ElementsAre("CF0", "KBD"));
  }
  EXPECT_THAT(op.shown, IsEmpty());
}

TEST(IngenicoSimulator, RefusesReadingsItsAnswerCannotHold) {
  sim::IngenicoSimulator pad(sim::IngenicoModel::kIPP320);
  CardReading reading = CardReading::Stripe(kStripePan, kValid);
  reading.track2 += "123456789012345";  // over 20 packed bytes
  EXPECT_THROW(pad.QueueReading(reading), std::invalid_argument);
  EXPECT_EQ(pad.ReadingsLeft(), 0u);
}

}  // namespace
}  // namespace tovalix::drivers::ingenico
