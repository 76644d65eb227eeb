// The Nurit 293 driver through the real loader and the simulated vendor library (a shared
// object of its own under $TOVALIX_BUILD_DIR/lib, which ctest sets), with sales posted to the
// gateway simulator on loopback.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "drivers/nurit293/commands.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "support/dictionary_text.hpp"
#include "support/nurit293_library.hpp"
#include "support/terminal_fixture.hpp"

namespace tovalix::drivers::nurit293 {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using tovalix::testing::ScopedEnv;

// Invented card numbers; the 22nd character of track 2 is the service code's first digit.
constexpr const char* kChip = "4000000000000002=24122010000000000000";
constexpr const char* kStripe = "4000000000000002=49121010000000000000";
constexpr const char* kTrack1 = "B4000000000000002^PRUEBA/TOVALIX^2412201000000000";
// 9F1E is only taken out; the rest goes to the gateway.
constexpr const char* kEmv = "9F1E0831323334353637388407A00000000310109F26081122334455667788";
constexpr const char* kEmvSent = "8407A00000000310109F26081122334455667788";

Dictionary Entrada(const std::string& total = "100", const std::string& port = "COM3") {
  return testing::DictionaryOf(
      "ID_Store=5|Amount=90|Tip=10|Total=" + total +
      "|ID_Transaction=77|Operation_Type=1|Authorization_Number=|Port=" + port +
      "|Cvv2=|FunctionType=1|Serial=SER-01|PTid=123456789|InitialDeferment=03"
      "|NumberOfPayments=06|PlanType=07|ID_Client_Tx=11|ID_Server_Tx=22");
}

class Nurit293Test : public ::testing::Test {
 protected:
  void SetUp() override { sim_.Reset(); }

  NURIT293 Driver(platform::CalendarDate today = {2024, 6, 15}) {
    return NURIT293(*library_, op_, clock_, [today] { return today; });
  }

  Dictionary Sale(const Dictionary& entrada, platform::CalendarDate today = {2024, 6, 15}) {
    NURIT293 nurit = Driver(today);
    Dictionary result = nurit.UnicaBancaria(entrada, gateway_.Url(), "5");
    preparado_ = nurit.Preparado();
    return result;
  }

  // The messages shown, "text [title]" joined by "|"; none has an icon.
  std::string Shown() const {
    std::string shown;
    for (const testing::ShownMessage& m : op_.shown) {
      EXPECT_EQ(m.style, 0) << m.text;
      shown += (shown.empty() ? "" : "|") + m.text + (m.title.empty() ? "" : " [" + m.title + "]");
    }
    return shown;
  }

  testing::TerminalFixture terminal_;  // its log, settings and device map
  testing::SimulatedNurit293 sim_;
  std::unique_ptr<Nurit293Library> library_ = LoadNurit293Library(sim_.path);
  testing::RecordingOperator op_;
  platform::FastClock clock_{1000.0};
  sim::GatewaySimulator gateway_;
  std::int16_t preparado_ = -1;
};

TEST_F(Nurit293Test, StripeSaleIsPostedWithTheRecordInItsOrder) {
  sim_.AddCard("MagStripe", kStripe, kTrack1, nullptr);
  const Dictionary result = Sale(Entrada());
  ASSERT_EQ(gateway_.RequestCount(), 1u);
  EXPECT_EQ(gateway_.Requests()[0].body,
            "Id_Store=5&Amount=90&tip=10&total=100&id_transaction=77"
            "&track2=4000000000000002=49121010000000000000&serial=SER-01&ptid=123456789"
            "&operation_type=1&authorization_number=&pos_entry_mode=1&emv_tags=&cvv2="
            "&process_type=CDSaleCancel&ID_Client_Tx=11&ID_Server_Tx=22&InitialDeferment=03"
            "&NumberOfPayments=06&PlanType=07&track1=" +
                std::string(kTrack1));
  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
  EXPECT_THAT(sim_.Calls(), ElementsAre("VB_prepareDevice NURIT293 "
                                        "{Port=COM3|BaudRate=19200|Parity=N|StopBits=1|DataBits=8}",
                                        "VB_startTransaction", "VB_readCardEx {Total=100} {}",
                                        "VB_displayText Procesando...", "VB_displayText Verifone",
                                        "VB_endTransaction", "VB_releaseDevice"));
}

// One sale per row: what reaches the gateway, what the chip is told, what the host gets.
TEST_F(Nurit293Test, SalesByReadingExpiryAndTheGatewaysAnswer) {
  struct Case {
    const char* mode;
    const char* track2;
    int today;                  // YYYYMMDD
    const char* authorization;  // and the message, as the gateway answers
    const char* message;
    std::string response;  // Response_Message the host gets
    std::string posted;    // pos_entry_mode sent, "" when nothing reached the gateway
    std::string outcome;   // the chip outcome handed to the library, "" for none
    std::string display = "Procesando...|Verifone";
    std::string shown = "";  // as Shown() gives them
    const char* total = "100";
  };
  const Case cases[] = {
      {"Chip", kChip, 20241231, "004711", "APROBADA", "APROBADA", "2",
       "{Result=Approved|AuthCode=004711}"},
      {"Chip", kChip, 20240601, "0", "DECLINADA", "DECLINADA", "2", "{Result=Declined|AuthCode=0}"},
      {"Chip", kChip, 20240601, "000000", "SIN RESPUESTA", "SIN RESPUESTA", "2",
       "{Result=No response|AuthCode=000000}"},
      {"Chip", kChip, 20240601, "AB12", "APROBADA", "APROBADA", "2",
       "{Result=Approved|AuthCode=AB12}"},
      // Service code 1xx: a chip reading of a card that does not ask for the outcome.
      {"Chip", kStripe, 20240601, "004711", "APROBADA", "APROBADA", "2", ""},
      // Another reading is entry mode 3, and no chip outcome whatever its service code.
      {"Fallback", kChip, 20240601, "004711", "APROBADA", "APROBADA", "3", ""},
      {"MagStripe", kChip, 20250101, "", "", "TARJETA EXPIRADA", "", "", "Verifone",
       "TOVALIX: Tarjeta Expirada"},
      // Not a date: no expiry check.
      {"MagStripe", "4000000000000002=24A21010000000000000", 20250101, "004711", "APROBADA",
       "APROBADA", "1", ""},
      {"MagStripe", "", 20240601, "", "", "ERROR EN LECTURA.", "", "",
       "ERROR DE LECTURA REINTENTE|Verifone"},
      // The total is checked after the preparation, before any other call.
      {"Chip", kChip, 20240601, "", "", "El Monto del Pago debe ser numérico", "", "", "",
       "TOVALIX: El Monto del Pago debe ser numérico. [MENSAJE DE LA APLICACION]", "12a"},
      {"Chip", kChip, 20240601, "", "", "No definió el Monto del Pago", "", "", "",
       "TOVALIX: No definió el Monto del Pago. [MENSAJE DE LA APLICACION]", "  "},
      {"Chip", kChip, 20240601, "", "", "El Monto del Pago no puede ser menor o igual a cero.", "",
       "", "",
       "TOVALIX: El Monto del Pago no puede ser menor o igual a cero. [MENSAJE DE LA APLICACION]",
       "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " " + c.track2 + " " + c.message);
    sim_.Reset();
    op_.shown.clear();
    sim_.AddCard(c.mode, c.track2, kTrack1, kEmv);
    gateway_.SetScript([&c](const sim::GatewayRequest&, sim::GatewayAnswer& a) {
      a.Set("authorization_number", c.authorization).Set("response_message", c.message);
    });
    const std::size_t before = gateway_.RequestCount();
    const Dictionary result =
        Sale(Entrada(c.total), {c.today / 10000, c.today / 100 % 100, c.today % 100});
    EXPECT_EQ(result.Item("Response_Message"), c.response);
    EXPECT_EQ(sim_.Args("VB_displayText"), c.display);
    EXPECT_EQ(sim_.Args("VB_notifyResult"), c.outcome);
    EXPECT_EQ(Shown(), c.shown);
    // The checks of the total stop after the preparation; the device stays prepared.
    EXPECT_EQ(sim_.Names() == "prepareDevice", c.display.empty());
    EXPECT_EQ(preparado_, c.display.empty() ? 1 : 0);
    EXPECT_EQ(gateway_.RequestCount() - before, c.posted.empty() ? 0u : 1u);
    if (c.posted.empty()) {
      EXPECT_EQ(result.Item("ID_Tx"), "-3");
      continue;
    }
    const sim::GatewayRequest request = gateway_.Requests().back();
    EXPECT_EQ(request.Value("pos_entry_mode"), c.posted);
    EXPECT_EQ(request.Value("emv_tags"), c.posted == "2" ? kEmvSent : "");
    EXPECT_EQ(result.Item("ARQC"), c.posted == "2" ? "1122334455667788" : "");
    EXPECT_EQ(result.Item("AID"), c.posted == "2" ? "A0000000031010" : "");
  }
  // "APROBADA" without an authorization number is no approval: the chip hears "No response".
  sim_.Reset();
  sim_.AddCard("Chip", kChip, kTrack1, kEmv);
  gateway_.SetScript([](const sim::GatewayRequest&, sim::GatewayAnswer& a) {
    a.Set("authorization_number", "000000").Set("response_message", "APROBADA");
  });
  Sale(Entrada());
  EXPECT_EQ(sim_.Args("VB_notifyResult"), "{Result=No response|AuthCode=000000}");
}

// Each row: the chip's data, then the EMV_Tags, ARQC and AID taken from it.
TEST_F(Nurit293Test, TagsValidosWalksTheTableInItsOrder) {
  std::vector<std::pair<std::string, std::string>> cases = {
      {"9F2608AABBCCDDEEFF0011", "9F2608AABBCCDDEEFF0011|ARQC=AABBCCDDEEFF0011|AID="},
      // 9F1E is taken out only.
      {"9F1E0831323334353637389F2608AABBCCDDEEFF0011",
       "9F2608AABBCCDDEEFF0011|ARQC=AABBCCDDEEFF0011|AID="},
      // 9F alone is only the first byte of 9Fxx tags: the amount and the cryptogram survive.
      {"9F02060000000100009F2608AABBCCDDEEFF0011",
       "9F02060000000100009F2608AABBCCDDEEFF0011|ARQC=AABBCCDDEEFF0011|AID="},
      // 5F2A's value holds the digits 84; its row comes first, so the AID is the real one.
      {"5F2A0208408407A0000000031010", "5F2A0208408407A0000000031010|ARQC=|AID=A0000000031010"},
      // A length that is not hex or runs past the end leaves the element out.
      {"9F2609AABB95ZZ00", "|ARQC=|AID="},
  };
  for (const char* odd : {"", "9", "9F", "9F26", "9F260", "84 7A0", "84FF"}) {
    cases.emplace_back(odd, "|ARQC=|AID=");
  }
  NURIT293 nurit = Driver();
  for (const auto& [chip, expected] : cases) {
    EXPECT_EQ(testing::Text(nurit.TagsValidos(chip)), "EMV_Tags=" + expected) << chip;
  }
}

// A library call that fails: its FALLA message and log line, the transaction ended and the
// device released.
TEST_F(Nurit293Test, LibraryFailuresAreReportedThroughFalla) {
  struct Case {
    const char* function;
    std::int32_t number;
    const char* port;
    std::string texts;  // the messages shown, joined by "|"
    std::string response;
    std::string calls;
    const char* last_key;  // of the result: where Num_Sec goes tells the first results apart
  };
  const Case cases[] = {
      {"VB_prepareDevice", 5, "COM12",
       "FALLA  5:Sin enlace|El puerto asignado es COM12 y debe ser menor o igual a 9. Reasignelo y "
       "vuelva a intentar.",
       "ERROR EN LECTURA DE TARJETA, REINTENTE", "prepareDevice endTransaction releaseDevice",
       "Num_Sec"},
      {"VB_prepareDevice", -7, "COM3", "FALLA -7:Sin enlace",
       "ERROR EN LECTURA DE TARJETA, REINTENTE", "prepareDevice endTransaction releaseDevice",
       "Num_Sec"},
      {"VB_readCardEx", 12, "COM3", "FALLA  12:Sin enlace",
       "ERROR DE LECTURA DE LA TARJETA,REINTENTAR",
       "prepareDevice startTransaction readCardEx endTransaction releaseDevice", "AID"},
      // An answered sale is returned even when the terminal cannot be closed.
      {"VB_endTransaction", 0, "COM3", "FALLA  0:Sin enlace", "APROBADA",
       "prepareDevice startTransaction readCardEx displayText displayText endTransaction "
       "endTransaction releaseDevice",
       "AID"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.function);
    sim_.Reset();
    op_.shown.clear();
    sim_.AddCard("MagStripe", kStripe, kTrack1, nullptr);
    sim_.Fail(c.function, -1, c.number, "Sin enlace");
    const std::size_t before = gateway_.RequestCount();
    const Dictionary result = Sale(Entrada("100", c.port));
    EXPECT_EQ(Shown(), c.texts);
    EXPECT_EQ(result.Item("Response_Message"), c.response);
    const bool answered = c.response == "APROBADA";
    EXPECT_EQ(result.Keys().back(), c.last_key);
    EXPECT_EQ(result.Item("ID_Tx") == "-3", !answered);
    EXPECT_EQ(gateway_.RequestCount() - before, answered ? 1u : 0u);
    EXPECT_EQ(sim_.Names(), c.calls);
    EXPECT_EQ(preparado_, 0);
    const std::string first = c.texts.substr(0, c.texts.find('|'));
    const std::string log = terminal_.LogText();
    EXPECT_TRUE(std::regex_search(log, std::regex("\\d\\d:\\d\\d:\\d\\d" + first + "\r\r\n")))
        << log;
  }
}

TEST_F(Nurit293Test, LibraryThatCannotBeLoadedFailsThroughFalla) {
  std::ofstream(terminal_.folder() / "text.so") << "not a library";
  const std::pair<std::string, std::string> cases[] = {
      {(terminal_.folder() / "missing.so").string(),
       "FALLA  53:No se encontró la biblioteca del Nurit 293"},
      {testing::Module("tovalix_nurit293_incomplete"),
       "FALLA  453:No se encontró el punto de entrada VB_notifyResult"},
      {(terminal_.folder() / "text.so").string(), "FALLA  48:"},
      // Unset, it is the variable that is missing, or on Windows the system's own library.
      {"", platform::SystemLibraryFileName("Nurit293").value_or("TOVALIX_NURIT293_LIB")},
  };
  for (const auto& [path, text] : cases) {
    op_.shown.clear();
    ScopedEnv lib("TOVALIX_NURIT293_LIB", path);
    const Dictionary result = UnicaBancaria(Entrada(), gateway_.Url(), "5", op_, clock_);
    EXPECT_THAT(op_.Texts(), ElementsAre(HasSubstr(text)));
    EXPECT_EQ(result.Item("ID_Tx"), "-3");
    EXPECT_EQ(result.Item("Response_Message"), "ERROR EN LECTURA DE TARJETA, REINTENTE");
  }
  EXPECT_EQ(gateway_.RequestCount(), 0u);
}

}  // namespace
}  // namespace tovalix::drivers::nurit293
