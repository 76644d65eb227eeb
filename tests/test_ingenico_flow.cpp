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
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr const char* kChipPan = "4000001234567899";
constexpr const char* kStripePan = "5000009876543210";
constexpr const char* kValid = "4912";
constexpr const char* kExpired = "1201";
constexpr const char* kPrompt = "Inserte /Deslice";
constexpr const char* kFirstMessage = "ERROR DE LECTURA DE LA TARJETA,REINTENTAR";

struct IngenicoModel {
  sim::IngenicoModel simulated;
  const char* tipo;
  Dictionary (*sale)(EntornoVenta&, const SolicitudVenta&);
};
void PrintTo(const IngenicoModel& model, std::ostream* out) {
  *out << model.tipo;
}

class IngenicoFlowTest : public ::testing::TestWithParam<IngenicoModel>,
                         public testing::FlowBench<sim::GatewaySimulator> {
 protected:
  IngenicoFlowTest() : pad(GetParam().simulated) {
    parametros.Serie = "SERIE-01";
    parametros.Tipo = GetParam().tipo;
    puerto = pad.PortPath();
  }

  Dictionary Sale() { return Sell(GetParam().sale, solicitud); }
  // What the PIN pad showed from display `from` on, besides the card prompt, "|" between.
  std::string Shown(std::size_t from) const {
    std::vector<std::string> shown = pad.Displays();
    shown.erase(shown.begin(), shown.begin() + static_cast<std::ptrdiff_t>(from));
    std::erase(shown, kPrompt);
    return testing::Since(shown, 0, "|");
  }
  // The screens from `from` on: Text, Clear, Logo, Stored logo, card Prompt, Removal.
  std::string Screens(std::size_t from = 0) const {
    std::string kinds;
    for (const auto& screen : pad.Screens()) kinds += "TCLSPR"[static_cast<int>(screen.kind)];
    return kinds.substr(from);
  }

  sim::IngenicoSimulator pad;
  SolicitudVenta solicitud = Venta(150.50);
};

// One sale after another on the same link, by what the card reading gave: the commands, what
// the PIN pad showed besides the card prompt, the message the host gets and, for a sale, the
// entry mode and the tracks posted. A PIN pad silent to IC0 is given up on after the answer's
// deadline. A chip card's expiry is not the flow's to check; read on the chip, track 1 is 81
// fixed bytes; in fallback, by its own length. Sold on the chip, the card hears "00".
TEST_P(IngenicoFlowTest, EachReadingEndsItsOwnWay) {
  const CardReading s01 = CardReading::OnlyStatus(0x01), s07 = CardReading::OnlyStatus(0x07),
                    s09 = CardReading::OnlyStatus(0x09),
                    sw = CardReading::ChipSwiped(kChipPan, kValid),
                    chip = CardReading::Chip(kChipPan, kValid);
  struct Case {
    std::vector<CardReading> readings;
    const char *commands, *shown, *message;
    std::int16_t modo = 0;
    const char* track2 = nullptr;  // posted; none when nothing reached the gateway
    bool silent = false;
  };
  // clang-format off
  const Case cases[] = {
      {{}, "DSP IC0 DSP", "", kFirstMessage, 0, nullptr, true},
      {{s01, s01, s01}, "DSP IC0 IC0 IC0 RMV DSP", "ERROR EN LECTURA DE CHIP",
       "ERROR EN LECTURA DE CHIP"},
      {{CardReading::OnlyStatus(0x02)}, "DSP IC0 DSP DSP", "RETIRO TARJETA  ANTES DE TIEMPO",
       "TARJETA RETIRADA ANTES DE TIEMPO"},
      {{CardReading::OnlyStatus(0x03)}, "DSP IC0 DSP DSP", "COBRO CANCELADO", "COBRO CANCELADO"},
      {{CardReading::Stripe(kStripePan, kExpired)}, "DSP IC0 DSP DSP", "TARJETA EXPIRADA",
       "TARJETA VENCIDA"},
      {{s07, s07, s07}, "DSP IC0 DSP IC0 DSP IC0 DSP DSP", "ERROR LECTURA DE BANDA REINTENTE|"
       "ERROR LECTURA DE BANDA REINTENTE|ERROR USE OTRO  MEDIO DE PAGO", kFirstMessage},
      {{sw, sw, sw}, "DSP IC0 DSP IC0 DSP IC0 DSP DSP", "TARJETA CON CHIP   INSERTE|"
       "TARJETA CON CHIP   INSERTE|UTILICE OTRA    FORMA DE PAGO", kFirstMessage},
      {{s09, s09}, "DSP IC0 DSP IC0 DSP DSP",
       "ERROR EN LECTURA REINTENTE|ERROR, USE OTRO MEDIO DE PAGO", kFirstMessage},
      {{chip}, "DSP IC0 DSP IC1 DSP RMV DSP", " RETIRE TARJETA", "APROBADA", 2,
       "4000001234567899=49122010000"},
      {{CardReading::Chip(kChipPan, kExpired)}, "DSP IC0 DSP IC1 DSP RMV DSP", " RETIRE TARJETA",
       "APROBADA", 2, "4000001234567899=12012010000"},
      {{sw, chip}, "DSP IC0 DSP IC0 DSP IC1 DSP RMV DSP", "TARJETA CON CHIP   INSERTE| RETIRE TARJETA",
       "APROBADA", 2, "4000001234567899=49122010000"},
      {{CardReading::Stripe(kStripePan, kValid)}, "DSP IC0 DSP DSP", "", "APROBADA", 1,
       "5000009876543210=49121010000"},
      {{CardReading::OnlyStatus(0x04), CardReading::Fallback(kChipPan, kValid)},
       "DSP IC0 IC0 DSP DSP", "", "APROBADA", 3, "4000001234567899=49122010000"},
  };
  // clang-format on
  std::size_t sold = 0, completed = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commands);
    const std::size_t commands = pad.Commands().size(), shown = pad.Displays().size();
    for (const CardReading& reading : c.readings) pad.QueueReading(reading);
    if (c.silent) pad.AddFault("IC0", IngenicoFault{.silent = true});
    const double start = clock.Now();
    const Dictionary result = Sale();
    EXPECT_EQ(clock.Now() - start >= serial::SerialLink::kPlazoRecibe, c.silent);
    EXPECT_EQ(testing::Since(pad.Commands(), commands), c.commands);
    EXPECT_EQ(Shown(shown), c.shown);
    EXPECT_EQ(result.Item("Response_Message"), c.message);
    EXPECT_EQ(result.Item("ARQC"), c.modo == 2 ? "1A2B3C4D5E6F7081" : "");
    const auto requests = gateway.Requests();
    if (c.track2 == nullptr) {
      EXPECT_EQ(result.Item("ID_Tx") + "|" + result.Item("Authorization_Number") + "|" +
                    result.Item("Amount"),
                "-3|000000|150.5");
      EXPECT_EQ(requests.size(), sold);
      continue;
    }
    EXPECT_EQ(modo_entrada, c.modo);
    ASSERT_EQ(requests.size(), ++sold);
    EXPECT_EQ(requests.back().Value("pos_entry_mode"), std::to_string(c.modo));
    EXPECT_EQ(requests.back().Value("track2"), c.track2);
    std::string track1 = c.readings.back().track1;
    if (c.modo == 2) track1.resize(81, ' ');
    EXPECT_EQ(requests.back().Value("track1"), track1);
    if (c.modo != 2) continue;
    ASSERT_EQ(pad.Completions().size(), ++completed);
    EXPECT_EQ(pad.Completions().back().status, "00");
    EXPECT_EQ(pad.Completions().back().authorization, result.Item("Authorization_Number"));
  }
  EXPECT_EQ(pad.Completions().size(), completed);
  for (const auto& request : pad.CardRequests()) {
    EXPECT_EQ(request.text + request.amount + request.tip,
              "Inserte /Deslice000000015050000000000000");
  }
  EXPECT_THAT(op.shown, IsEmpty());
  // Kept objects in the table's order; the transaction date 9A is dropped.
  // clang-format off
  EXPECT_EQ(gateway.Requests().front().Value("emv_tags"),
            "5F2A020484" "5F340101" "9F0206000000015050" "9F100706010A03A00000" "9F1A020484"
            "9F26081A2B3C4D5E6F7081" "9F270180" "9F3303E0F8C8" "9F34031E0300" "9F36020042"
            "9F370412345678" "95050000008000" "9C0100" "82021800" "8407A0000000031010");
  // clang-format on
}

// The card hears the decision the host gets, and the screen is cleared and the card asked back
// whatever it was. Approved in words with an authorization of zero is in doubt ("-4") and the
// card hears "01"; an authorization that is no number (letters, or beyond 32 bits) is not zero:
// still approved, instead of the sale stopping half-way. No authorization at all: no IC1, and
// approved in words only, the sale is in doubt.
TEST_P(IngenicoFlowTest, TheCardHearsTheGatewaysDecision) {
  struct Case {
    const char *message, *authorization;
    bool in_doubt;
    const char *commands, *told;  // status, code and authorization handed to the card
  };
  const Case cases[] = {
      {"DECLINADA", "123456", false, "DSP IC0 DSP IC1 DSP RMV DSP", "01 01 123456"},
      {"APROBADA", "000000", true, "DSP IC0 DSP IC1 DSP RMV DSP", "01 01 000000"},
      {"APROBADA", "A1B2C3", false, "DSP IC0 DSP IC1 DSP RMV DSP", "00 00 A1B2C3"},
      {"DEMO - APROBADA", "99999999999", false, "DSP IC0 DSP IC1 DSP RMV DSP", "00 00 99999999999"},
      {"APROBADA", "  ", true, "DSP IC0 DSP DSP RMV DSP", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.authorization);
    const std::size_t commands = pad.Commands().size(), screens = pad.Screens().size(),
                      completions = pad.Completions().size();
    pad.QueueChipCard(kChipPan, kValid);
    gateway.SetScript([&c](const sim::GatewayRequest&, sim::GatewayAnswer& answer) {
      answer.Set("response_message", c.message).Set("authorization_number", c.authorization);
    });
    const Dictionary result = Sale();
    EXPECT_EQ(result.Item("ID_Tx") == "-4", c.in_doubt);
    EXPECT_EQ(result.Item("Response_Message") == c.message, !c.in_doubt);
    EXPECT_EQ(op.shown.size(), c.in_doubt ? 1u : 0u);  // a sale in doubt is told
    op.shown.clear();
    EXPECT_EQ(testing::Since(pad.Commands(), commands), c.commands);
    EXPECT_EQ(Screens(screens), "LPLCRL");
    EXPECT_EQ(pad.Displays().back(), " RETIRE TARJETA");
    std::vector<std::string> told;
    for (const auto& t : pad.Completions())
      told.push_back(t.status + " " + t.code + " " + t.authorization);
    EXPECT_EQ(testing::Since(told, completions), c.told);
  }
}

TEST_P(IngenicoFlowTest, StripeSalePostsTheRecordInItsOrder) {
  pad.QueueStripeCard(kStripePan, kValid);
  solicitud.InitialDeferment = "03";
  solicitud.NumberOfPayments = "06";
  solicitud.PlanType = "01";
  EXPECT_EQ(Sale().Item("Truncated"), "XXXXXXXXXXXX3210");
  EXPECT_EQ(Record(),
            "Id_Store=5&Amount=150.5&tip=0&total=150.5&id_transaction=8001&"
            "track2=5000009876543210=49121010000&serial=SERIE-01&ptid=4711&operation_type=1&"
            "authorization_number=&pos_entry_mode=1&emv_tags=&cvv2=&process_type=CDSaleCancel&"
            "ID_Client_Tx=31&ID_Server_Tx=32&InitialDeferment=03&NumberOfPayments=06&PlanType=01&"
            "track1=" +
                CardReading::Stripe(kStripePan, kValid).track1);
}

TEST_P(IngenicoFlowTest, GarbledOrSplitAnswersAndRefusedCommandsStillComplete) {
  pad.AddFault("IC0", IngenicoFault{.garbled = true});
  pad.AddFault("DSP", IngenicoFault{.nak = true});
  pad.AddFault("RMV", IngenicoFault{.how = sim::Delivery().SplitAt({3, 6}, 5ms)});
  pad.AddFault("IC1", IngenicoFault{.how = sim::Delivery().WithGarbage("\x06\x01", "")});
  pad.QueueChipCard(kChipPan, kValid);
  EXPECT_EQ(Sale().Item("Response_Message"), "APROBADA");
  EXPECT_EQ(pad.NaksReceived(), 1);  // the garbled IC0 answer, then its good copy
  EXPECT_THAT(pad.Commands(), ElementsAre("DSP", "DSP", "IC0", "DSP", "IC1", "DSP", "RMV", "DSP"));
}

TEST_P(IngenicoFlowTest, PortIsClosedAfterAHangUp) {
  if (!sim::LineShowsHangUp()) GTEST_SKIP() << "a null-modem pair of COM ports never hangs up";
  pad.QueueChipCard(kChipPan, kValid);
  pad.AddFault("IC0", IngenicoFault{.how = sim::Delivery().HangUpAfter(20)});
  EXPECT_EQ(Sale().Item("ID_Tx"), "-3");
  EXPECT_EQ(gateway.RequestCount(), 0u);
  EXPECT_THAT(op.shown, Not(IsEmpty()));  // the link reported the lost port
}

INSTANTIATE_TEST_SUITE_P(
    BothModels, IngenicoFlowTest,
    ::testing::Values(IngenicoModel{sim::IngenicoModel::kIngenico3070, "INGENICO3070",
                                    VentaIngenico3070},
                      IngenicoModel{sim::IngenicoModel::kIPP320, "IPP320", VentaIPP320}),
    [](const ::testing::TestParamInfo<IngenicoModel>& model) { return model.param.tipo; });

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
  puerto = (logs / "no-such-port").string();
  const Dictionary result = Sell(GetParam().sale, Venta(20));
  EXPECT_EQ(result.Keys(), *GetParam().first_keys);
  EXPECT_EQ(result.Item("Response_Message"), GetParam().first_message);
  EXPECT_EQ(result.Item("ID_Tx") + "|" + result.Item("Authorization_Number") + "|" +
                result.Item("ID_Store") + "|" + result.Item("Amount"),
            "-3|000000|5|20");
  EXPECT_EQ(gateway.RequestCount(), 0u);
  ASSERT_EQ(op.shown.size(), 1u);  // the run-time error, reported once
  EXPECT_EQ(op.shown[0].style, Operator::kPlain);
  EXPECT_THAT(testing::ReadFile(logs / "tovalix.log"), HasSubstr(op.shown[0].text));
}

INSTANTIATE_TEST_SUITE_P(
    ThreeModels, SerialModels,
    ::testing::Values(SerialModel{"IPP320", VentaIPP320, &testing::kIngenicoFirstKeys,
                                  kFirstMessage},
                      SerialModel{"Vx810", vx810::VentaVx810, &testing::kVerifoneFirstKeys,
                                  "ERROR EN LECTURA DE TARJETA, REINTENTE"},
                      SerialModel{"OPTIMUM", optimum::VentaOptimum, &testing::kVerifoneFirstKeys,
                                  "ERROR AL LEER TARJETA, REINTENTE"}),
    [](const ::testing::TestParamInfo<SerialModel>& model) { return model.param.tipo; });

// --- the simulator's own answers ----------------------------------------------------------

class IngenicoSimulatorTest : public ::testing::Test,
                              public testing::FlowBench<sim::GatewaySimulator> {};

// The initialization reads the serial number six (3070) or seven (iPP320) bytes after "CF0";
// a typed value comes back through ObtenCVV2.
TEST_F(IngenicoSimulatorTest, SerialNumberAndKeyboardEntryAreReadFromTheirAnswers) {
  Ingenico driver(op, platform::LocalNow());
  for (const auto& [model, tipo, serial, stored] :
       {std::tuple{sim::IngenicoModel::kIngenico3070, "INGENICO3070", "A30701",
                   "41 33 30 37 30 31 "},
        std::tuple{sim::IngenicoModel::kIPP320, "IPP320", "B320002", "42 33 32 30 30 30 32 "}}) {
    sim::IngenicoSimulator pad(model);
    pad.SetSerialNumber(serial);
    pad.SetKeyboardEntry("987");
    const drivers::ModelDescriptor& descriptor = *drivers::FindModel(tipo);
    link.SetFormat(descriptor.format);
    link.Abre(pad.PortPath());
    EXPECT_EQ(descriptor.read_serial(link, op), stored);
    ASSERT_EQ(link.EnviaRecibe(driver.CapturaEnPinPad(4, 3), kCodigoKBD), 1);
    EXPECT_EQ(driver.ObtenCVV2(serial::TextoAHex(link.BufferRecepcion())), "39 38 37 ");
    link.Cierra();
    EXPECT_THAT(pad.Commands(), ElementsAre("CF0", "KBD"));
  }
  EXPECT_THAT(op.shown, IsEmpty());
}

}  // namespace
}  // namespace tovalix::drivers::ingenico
