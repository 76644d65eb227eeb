// The Nurit 293 driver through the real loader and the simulated vendor library (a shared
// object of its own, found at $TOVALIX_BUILD_DIR/lib/libtovalix_nurit293_sim.so, or
// tovalix_nurit293_sim.dll on Windows, which
// ctest sets), with sales posted to the gateway simulator on loopback.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "common/failure.hpp"
#include "drivers/nurit293/commands.hpp"
#include "platform/shared_library.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "sim/nurit293_library/nurit293_sim.h"
#include "support/test_environment.hpp"

namespace tovalix::drivers::nurit293 {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using tovalix::testing::ReadFile;
using tovalix::testing::RecordingOperator;
using tovalix::testing::ScopedEnv;
using tovalix::testing::ScratchFolder;

// Invented card numbers; the 22nd character of track 2 is the service code's first digit.
constexpr const char* kChip = "4000000000000002=24122010000000000000";
constexpr const char* kTrack1 = "B4000000000000002^PRUEBA/TOVALIX^2412201000000000";
constexpr const char* kEmv = "8407A00000000310109F26081122334455667788";

std::string LibraryDir() {
  const char* build = std::getenv("TOVALIX_BUILD_DIR");
  return std::string(build != nullptr ? build : ".") + "/lib/";
}

// A simulated library's file as the build names its modules.
std::string Module(const std::string& stem) {
#ifdef _WIN32
  return LibraryDir() + stem + ".dll";
#else
  return LibraryDir() + "lib" + stem + ".so";
#endif
}

// The script API of the simulated library, reached through the same object the loader opens.
class SimulatedLibrary {
 public:
  SimulatedLibrary() : path_(Module("tovalix_nurit293_sim")) {
    try {
      library_ = std::make_unique<platform::SharedLibrary>(path_);
    } catch (const Failure&) {
      return;
    }
    Bind("TovalixSimNurit293_Reset", reset_);
    Bind("TovalixSimNurit293_AddCard", add_card_);
    Bind("TovalixSimNurit293_Fail", fail_);
    Bind("TovalixSimNurit293_CallCount", count_);
    Bind("TovalixSimNurit293_Call", call_);
  }
  bool ok() const { return library_ && reset_ && add_card_ && fail_ && count_ && call_; }
  const std::string& path() const { return path_; }
  void Reset() { reset_(); }
  void AddCard(const char* mode, const char* track2, const char* track1 = "",
               const char* emv = nullptr) {
    add_card_(mode, track2, track1, emv);
  }
  void Fail(const char* function, std::int32_t number, const char* description) {
    fail_(function, -1, number, description);
  }
  std::vector<std::string> Calls() const {
    std::vector<std::string> calls;
    for (std::size_t i = 0; i < count_(); ++i) {
      std::string text(call_(i, nullptr, 0) + 1, '\0');
      call_(i, text.data(), text.size());
      text.pop_back();
      calls.push_back(text);
    }
    return calls;
  }
  // The names of the calls only.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const std::string& call : Calls()) names.push_back(call.substr(0, call.find(' ')));
    return names;
  }

 private:
  template <typename F>
  void Bind(const char* name, F& target) {
    target = reinterpret_cast<F>(library_->Symbol(name));
  }
  std::string path_;
  std::unique_ptr<platform::SharedLibrary> library_;
  decltype(&TovalixSimNurit293_Reset) reset_ = nullptr;
  decltype(&TovalixSimNurit293_AddCard) add_card_ = nullptr;
  decltype(&TovalixSimNurit293_Fail) fail_ = nullptr;
  decltype(&TovalixSimNurit293_CallCount) count_ = nullptr;
  decltype(&TovalixSimNurit293_Call) call_ = nullptr;
};

Dictionary Entrada(const std::string& total = "100", const std::string& port = "COM3") {
  Dictionary d;
  d.Add("ID_Store", "5");
  d.Add("Amount", "90");
  d.Add("Tip", "10");
  d.Add("Total", total);
  d.Add("ID_Transaction", "77");
  d.Add("Operation_Type", "1");
  d.Add("Authorization_Number", "");
  d.Add("Port", port);
  d.Add("Cvv2", "");
  d.Add("FunctionType", "1");
  d.Add("Serial", "SER-01");
  d.Add("PTid", "123456789");
  d.Add("InitialDeferment", "03");
  d.Add("NumberOfPayments", "06");
  d.Add("PlanType", "07");
  d.Add("ID_Client_Tx", "11");
  d.Add("ID_Server_Tx", "22");
  return d;
}

class Nurit293Test : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.ok()) << "simulated library not found at " << sim_.path();
    sim_.Reset();
    library_ = LoadNurit293Library(sim_.path());
  }

  NURIT293 Driver(platform::CalendarDate today = {2024, 6, 15}) {
    return NURIT293(*library_, op_, clock_, [today] { return today; });
  }

  Dictionary Sale(const Dictionary& entrada, platform::CalendarDate today = {2024, 6, 15}) {
    NURIT293 nurit = Driver(today);
    Dictionary result = nurit.UnicaBancaria(entrada, gateway_.Url(), "5");
    preparado_ = nurit.Preparado();
    return result;
  }

  // The chip outcome handed to the library, or "" when there was none.
  std::string Outcome() const {
    for (const std::string& call : sim_.Calls()) {
      if (call.rfind("VB_notifyResult", 0) == 0) return call;
    }
    return "";
  }

  ScratchFolder scratch_;
  ScopedEnv log_dir_{"TOVALIX_LOG_DIR", scratch_.path().string()};
  ScopedEnv settings_file_{"TOVALIX_SETTINGS", (scratch_ / "PinPad.ini").string()};
  SimulatedLibrary sim_;
  std::unique_ptr<Nurit293Library> library_;
  RecordingOperator op_;
  platform::FastClock clock_{1000.0};
  sim::GatewaySimulator gateway_;
  std::int16_t preparado_ = -1;
};

TEST_F(Nurit293Test, TotalChecksStopAfterThePreparationAndKeepTheDevicePrepared) {
  struct Case {
    const char* total;
    const char* message;
  };
  for (const Case c : {Case{"12a", "El Monto del Pago debe ser numérico"},
                       Case{"  ", "No definió el Monto del Pago"},
                       Case{"0", "El Monto del Pago no puede ser menor o igual a cero."}}) {
    sim_.Reset();
    op_.shown.clear();
    const Dictionary result = Sale(Entrada(c.total));
    EXPECT_EQ(result.Item("Response_Message"), c.message);
    ASSERT_EQ(op_.shown.size(), 1u);
    EXPECT_EQ(op_.shown[0].text, std::string("TOVALIX: ") + c.message +
                                     (std::string(c.message).back() == '.' ? "" : "."));
    EXPECT_EQ(op_.shown[0].title, "MENSAJE DE LA APLICACION");
    EXPECT_THAT(sim_.Calls(),
                ElementsAre("VB_prepareDevice NURIT293 "
                            "{Port=COM3|BaudRate=19200|Parity=N|StopBits=1|DataBits=8}"));
    EXPECT_EQ(preparado_, 1);
  }
  EXPECT_EQ(gateway_.RequestCount(), 0u);
}

TEST_F(Nurit293Test, StripeSaleIsPostedWithTheRecordInItsOrder) {
  sim_.AddCard("MagStripe", "4000000000000002=49121010000000000000", kTrack1);
  const Dictionary result = Sale(Entrada());
  ASSERT_EQ(gateway_.RequestCount(), 1u);
  const sim::GatewayRequest request = gateway_.Requests()[0];
  EXPECT_EQ(request.body,
            "Id_Store=5&Amount=90&tip=10&total=100&id_transaction=77"
            "&track2=4000000000000002=49121010000000000000&serial=SER-01&ptid=123456789"
            "&operation_type=1&authorization_number=&pos_entry_mode=1&emv_tags=&cvv2="
            "&process_type=CDSaleCancel&ID_Client_Tx=11&ID_Server_Tx=22&InitialDeferment=03"
            "&NumberOfPayments=06&PlanType=07&track1=" +
                std::string(kTrack1));

  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
  EXPECT_NE(result.Item("ID_Tx"), "-3");
  EXPECT_THAT(sim_.Calls(),
              ElementsAre(HasSubstr("VB_prepareDevice"), "VB_startTransaction",
                          "VB_readCardEx {Total=100} {}", "VB_displayText Procesando...",
                          "VB_displayText Verifone", "VB_endTransaction", "VB_releaseDevice"));
  EXPECT_EQ(preparado_, 0);
  EXPECT_THAT(op_.shown, IsEmpty());

  // Another reading is entry mode 3, and no chip outcome whatever its service code.
  sim_.Reset();
  sim_.AddCard("Fallback", "4000000000000002=49122010000000000000");
  Sale(Entrada());
  EXPECT_EQ(gateway_.Requests().back().Value("pos_entry_mode"), "3");
  EXPECT_EQ(Outcome(), "");
}

TEST_F(Nurit293Test, ChipSaleSendsFilteredTagsAndAnswersTheCard) {
  sim_.AddCard("Chip", kChip, kTrack1,
               "9F1E083132333435363738"
               "8407A0000000031010"
               "9F26081122334455667788");
  const Dictionary result = Sale(Entrada(), {2024, 12, 31});
  ASSERT_EQ(gateway_.RequestCount(), 1u);
  const sim::GatewayRequest request = gateway_.Requests()[0];
  EXPECT_EQ(request.Value("pos_entry_mode"), "2");
  EXPECT_EQ(request.Value("emv_tags"),
            "8407A0000000031010"
            "9F26081122334455667788");
  EXPECT_EQ(result.Item("ARQC"), "1122334455667788");
  EXPECT_EQ(result.Item("AID"), "A0000000031010");
  EXPECT_EQ(Outcome(), "VB_notifyResult {Result=Approved|AuthCode=" +
                           result.Item("Authorization_Number") + "}");
}

TEST_F(Nurit293Test, ChipOutcomeFollowsTheGatewaysAnswer) {
  struct Case {
    const char* authorization;
    const char* message;
    const char* outcome;
  };
  for (const Case c : {Case{"004711", "APROBADA", "{Result=Approved|AuthCode=004711}"},
                       Case{"0", "DECLINADA", "{Result=Declined|AuthCode=0}"},
                       Case{"000000", "SIN RESPUESTA", "{Result=No response|AuthCode=000000}"},
                       Case{"000000", "APROBADA", "{Result=No response|AuthCode=000000}"},
                       Case{"AB12", "APROBADA", "{Result=Approved|AuthCode=AB12}"}}) {
    sim_.Reset();
    sim_.AddCard("Chip", kChip, kTrack1, kEmv);
    gateway_.SetScript([c](const sim::GatewayRequest&, sim::GatewayAnswer& a) {
      a.Set("authorization_number", c.authorization).Set("response_message", c.message);
    });
    const Dictionary result = Sale(Entrada());
    EXPECT_EQ(Outcome(), std::string("VB_notifyResult ") + c.outcome);
    EXPECT_EQ(result.Item("Response_Message") == "APROBADA",
              std::string(c.outcome).find("Approved") != std::string::npos);
  }
  // Service code 1xx: a chip reading of a card that does not ask for the outcome.
  sim_.Reset();
  sim_.AddCard("Chip", "4000000000000002=49121010000000000000", kTrack1, kEmv);
  Sale(Entrada());
  EXPECT_EQ(Outcome(), "");
  EXPECT_EQ(gateway_.RequestCount(), 6u);
}

TEST_F(Nurit293Test, Track2ExpiryIsJudgedOnTheInjectedDate) {
  sim_.AddCard("MagStripe", "4000000000000002=24121010000000000000");
  EXPECT_EQ(Sale(Entrada(), {2024, 12, 31}).Item("Response_Message"), "APROBADA");
  EXPECT_EQ(gateway_.RequestCount(), 1u);

  sim_.AddCard("MagStripe", "4000000000000002=24121010000000000000");
  const Dictionary expired = Sale(Entrada(), {2025, 1, 1});
  EXPECT_EQ(expired.Item("Response_Message"), "TARJETA EXPIRADA");
  EXPECT_EQ(expired.Item("ID_Tx"), "-3");
  EXPECT_EQ(gateway_.RequestCount(), 1u);
  ASSERT_EQ(op_.shown.size(), 1u);
  EXPECT_EQ(op_.shown[0], (tovalix::testing::ShownMessage{"TOVALIX: Tarjeta Expirada", 0, ""}));
  EXPECT_THAT(sim_.Names(), ::testing::Contains("VB_displayText"));

  sim_.AddCard("MagStripe", "4000000000000002=24A21010000000000000");  // not a date: no check
  EXPECT_EQ(Sale(Entrada(), {2025, 1, 1}).Item("Response_Message"), "APROBADA");
  EXPECT_EQ(gateway_.RequestCount(), 2u);
}

TEST_F(Nurit293Test, EmptyTrack2IsAReadingError) {
  sim_.AddCard("MagStripe", "");
  const Dictionary result = Sale(Entrada());
  EXPECT_EQ(result.Item("Response_Message"), "ERROR EN LECTURA.");
  EXPECT_EQ(gateway_.RequestCount(), 0u);
  EXPECT_THAT(sim_.Calls(), ::testing::Contains("VB_displayText ERROR DE LECTURA REINTENTE"));
  EXPECT_EQ(preparado_, 0);
}

TEST_F(Nurit293Test, TagsValidosWalksTheTableInItsOrder) {
  NURIT293 nurit = Driver();
  Dictionary tags = nurit.TagsValidos("9F2608AABBCCDDEEFF0011");
  EXPECT_EQ(tags.Item("ARQC"), "AABBCCDDEEFF0011");
  EXPECT_EQ(tags.Item("EMV_Tags"), "9F2608AABBCCDDEEFF0011");
  EXPECT_EQ(tags.Item("AID"), "");

  tags = nurit.TagsValidos("9F1E0831323334353637389F2608AABBCCDDEEFF0011");
  EXPECT_EQ(tags.Item("EMV_Tags"), "9F2608AABBCCDDEEFF0011");  // 9F1E is taken out only

  // 9F alone is only the first byte of 9Fxx tags: the amount and the cryptogram both survive.
  tags = nurit.TagsValidos(
      "9F0206000000010000"
      "9F2608AABBCCDDEEFF0011");
  EXPECT_EQ(tags.Item("EMV_Tags"),
            "9F0206000000010000"
            "9F2608AABBCCDDEEFF0011");

  // 5F2A's value holds the digits 84; its row comes first, so the AID is the real one.
  tags = nurit.TagsValidos(
      "5F2A020840"
      "8407A0000000031010");
  EXPECT_EQ(tags.Item("AID"), "A0000000031010");
  EXPECT_EQ(tags.Item("EMV_Tags"),
            "5F2A020840"
            "8407A0000000031010");

  // A length that is not hex or runs past the end leaves the element out.
  tags = nurit.TagsValidos(
      "9F2609AABB"
      "95ZZ00");
  EXPECT_EQ(tags.Item("EMV_Tags"), "");
  EXPECT_EQ(tags.Item("ARQC"), "");
  for (const char* odd : {"", "9", "9F", "9F26", "9F260", "84 7A0", "84FF"}) {
    EXPECT_EQ(nurit.TagsValidos(odd).Count(), 3u) << odd;
  }
}

TEST_F(Nurit293Test, FailingPreparationShowsThePortMessageAboveCom9) {
  sim_.Fail("VB_prepareDevice", 5, "Puerto ocupado");
  const Dictionary result = Sale(Entrada("100", "COM12"));
  EXPECT_EQ(result.Item("Response_Message"), "ERROR EN LECTURA DE TARJETA, REINTENTE");
  EXPECT_EQ(result.Item("ID_Tx"), "-3");
  EXPECT_EQ(result.Keys().back(), "Num_Sec");
  EXPECT_THAT(op_.Texts(), ElementsAre("FALLA  5:Puerto ocupado",
                                       "El puerto asignado es COM12 y debe ser menor o igual a "
                                       "9. Reasignelo y vuelva a intentar."));
  EXPECT_EQ(op_.shown[1].style, 0);
  EXPECT_EQ(op_.shown[1].title, "");
  EXPECT_EQ(preparado_, 0);
  // Falla ends and releases; nothing else reaches the library.
  EXPECT_THAT(sim_.Names(),
              ElementsAre("VB_prepareDevice", "VB_endTransaction", "VB_releaseDevice"));
  const std::string log = ReadFile(scratch_ / "tovalix.log");
  EXPECT_TRUE(
      std::regex_search(log, std::regex("\\d\\d:\\d\\d:\\d\\dFALLA  5:Puerto ocupado\r\r\n")))
      << log;

  sim_.Reset();
  op_.shown.clear();
  sim_.Fail("VB_prepareDevice", -7, "Sin respuesta");
  Sale(Entrada("100", "COM3"));
  EXPECT_THAT(op_.Texts(), ElementsAre("FALLA -7:Sin respuesta"));
  EXPECT_EQ(gateway_.RequestCount(), 0u);
}

TEST_F(Nurit293Test, PreparaDispositivoTakesThePortFromTheDeviceMap) {
  {
    std::ofstream table(scratch_ / "devices.map");
    table << "\\Device\\Slabser0\tCOM12\n";
  }
  ScopedEnv map("TOVALIX_DEVICE_MAP", (scratch_ / "devices.map").string());
  NURIT293 nurit = Driver();
  EXPECT_EQ(nurit.PreparaDispositivo(), 0);
  EXPECT_EQ(nurit.Configuracion().Item("Port"), "COM12");
  EXPECT_EQ(nurit.Preparado(), 1);
  EXPECT_EQ(nurit.PreparaDispositivo(), 1);  // already prepared: no second call
  EXPECT_EQ(sim_.Calls().size(), 1u);
}

TEST_F(Nurit293Test, ReadingFailureIsReportedOnce) {
  sim_.Fail("VB_readCardEx", 12, "Tarjeta retirada");
  const Dictionary result = Sale(Entrada());
  EXPECT_THAT(op_.Texts(), ElementsAre("FALLA  12:Tarjeta retirada"));
  EXPECT_EQ(result.Item("Response_Message"), "ERROR DE LECTURA DE LA TARJETA,REINTENTAR");
  EXPECT_EQ(result.Item("ID_Tx"), "-3");
  EXPECT_THAT(sim_.Names(), ElementsAre("VB_prepareDevice", "VB_startTransaction", "VB_readCardEx",
                                        "VB_endTransaction", "VB_releaseDevice"));
  EXPECT_EQ(gateway_.RequestCount(), 0u);
}

TEST_F(Nurit293Test, AnsweredSaleIsReturnedEvenWhenTheTerminalCannotBeClosed) {
  sim_.AddCard("MagStripe", "4000000000000002=49121010000000000000");
  sim_.Fail("VB_endTransaction", 9, "Sin enlace");
  const Dictionary result = Sale(Entrada());
  EXPECT_EQ(gateway_.RequestCount(), 1u);
  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
  EXPECT_NE(result.Item("ID_Tx"), "-3");
  EXPECT_THAT(op_.Texts(), ElementsAre("FALLA  9:Sin enlace"));
  EXPECT_EQ(preparado_, 0);
}

TEST_F(Nurit293Test, LibraryThatCannotBeLoadedFailsThroughFalla) {
  Dictionary result;
  auto texts_of = [&](const std::string& path) {
    op_.shown.clear();
    ScopedEnv lib("TOVALIX_NURIT293_LIB", path);
    result = UnicaBancaria(Entrada(), gateway_.Url(), "5", op_, clock_);
    return op_.Texts();
  };
  auto nothing_sent = [&] {
    EXPECT_EQ(result.Item("ID_Tx"), "-3");
    EXPECT_EQ(result.Item("Response_Message"), "ERROR EN LECTURA DE TARJETA, REINTENTE");
  };
  EXPECT_THAT(texts_of((scratch_ / "missing.so").string()),
              ElementsAre(HasSubstr("FALLA  53:No se encontró la biblioteca del Nurit 293")));
  nothing_sent();
  EXPECT_THAT(texts_of(Module("tovalix_nurit293_incomplete")),
              ElementsAre(HasSubstr("FALLA  453:No se encontró el punto de entrada "
                                    "VB_notifyResult")));
  nothing_sent();
  { std::ofstream(scratch_ / "text.so") << "not a library"; }
  EXPECT_THAT(texts_of((scratch_ / "text.so").string()), ElementsAre(HasSubstr("FALLA  48:")));
  nothing_sent();
  // Unset, it is the variable that is missing, or on Windows the library installed for the system.
  EXPECT_THAT(texts_of(""),
              ElementsAre(HasSubstr(
                  platform::SystemLibraryFileName("Nurit293").value_or("TOVALIX_NURIT293_LIB"))));
  nothing_sent();
  EXPECT_EQ(gateway_.RequestCount(), 0u);

  // The simulated library itself loads and sells through the same entry point.
  EXPECT_THAT(texts_of(sim_.path()), IsEmpty());
  EXPECT_EQ(result.Item("Response_Message"), "APROBADA");
  EXPECT_EQ(gateway_.RequestCount(), 1u);
}

TEST_F(Nurit293Test, LeeTarjetaReadsWithoutTheGateway) {
  sim_.AddCard("Chip", kChip, kTrack1, kEmv);
  Dictionary entrada;
  entrada.Add("Amount", "50");
  entrada.Add("Tip", "0");
  entrada.Add("Operation_Type", "3");
  NURIT293 nurit = Driver();
  const Dictionary result = nurit.LeeTarjeta(entrada, "COM4");
  EXPECT_THAT(result.Keys(), ElementsAre("Amount", "Tip", "Track2", "Track1", "EMV_Tags", "ARQC",
                                         "AID", "Response_Message"));
  EXPECT_EQ(result.Item("Response_Message"), "OK");
  EXPECT_EQ(result.Item("ARQC"), "1122334455667788");
  EXPECT_THAT(sim_.Calls(), ::testing::Contains("VB_readCardEx {Total=0.00} {}"));
  EXPECT_EQ(Outcome(), "VB_notifyResult {Result=Approved|AuthCode=00000}");
  EXPECT_EQ(nurit.Preparado(), 0);
  EXPECT_EQ(gateway_.RequestCount(), 0u);

  sim_.Reset();
  entrada.Set("Operation_Type", "1");
  entrada.Set("Amount", "-1");
  const Dictionary refused = nurit.LeeTarjeta(entrada, "COM4");
  EXPECT_EQ(refused.Item("Response_Message"), "ERROR");
  EXPECT_THAT(sim_.Names(), ElementsAre("VB_prepareDevice", "VB_startTransaction", "VB_displayText",
                                        "VB_endTransaction", "VB_releaseDevice"));
}

TEST_F(Nurit293Test, MandaMensajePinPadShowsAndReleases) {
  NURIT293 nurit = Driver();
  nurit.MandaMensajePinPad("HOLA", "COM5");
  EXPECT_THAT(sim_.Calls(), ElementsAre(HasSubstr("{Port=COM5|"), "VB_displayText HOLA",
                                        "VB_endTransaction", "VB_releaseDevice"));
  EXPECT_EQ(nurit.Preparado(), 0);
}

}  // namespace
}  // namespace tovalix::drivers::nurit293
