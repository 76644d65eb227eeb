// The airtime operations against the simulated service on loopback, with the terminal's
// settings in a real scratch file: what goes out on the wire, how each answer becomes the
// result, every check and every way an exchange can fail. The XML seam and the catalogue walk
// are also tried on their own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "airtime/catalogo.hpp"
#include "airtime/tiempo_aire.hpp"
#include "common/failure.hpp"
#include "platform/xml_document.hpp"
#include "settings/store.hpp"
#include "sim/airtime/airtime_simulator.hpp"
#include "support/test_environment.hpp"

namespace tovalix::airtime {
namespace {

using sim::AirtimeAnswer;
using sim::AirtimeRequest;
using sim::AirtimeSimulator;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using tovalix::testing::ReadFile;
using tovalix::testing::RecordingOperator;
using tovalix::testing::ScopedEnv;
using tovalix::testing::ScratchFolder;
using tovalix::testing::ShownMessage;

using Keys = std::vector<std::string>;

// clang-format off
const Keys kSaleKeys = {
    "Accepted", "idTrans", "ticketDateTime", "tellerName", "providerName", "faceValue",
    "totalCost", "telephone", "valid", "notes", "instructions", "idPIN", "idPOS", "transID",
    "groupBalance", "chainBalance", "merchantBalance", "groupFrozenBalance", "chainFrozenBalance",
    "merchantFrozenBalance", "responseText", "responseCode", "Description", "Address1", "Address2",
    "Address3", "RFC", "Phone"};
const Keys kStatusKeys = {
    "Accepted", "processing", "idTrans", "ticketDateTime", "tellerName", "providerName",
    "idProvider", "faceValue", "totalCost", "telephone", "valid", "notes", "instructions", "idPIN",
    "idPOS", "transID", "posDescription", "groupBalance", "chainBalance", "merchantBalance",
    "groupFrozenBalance", "chainFrozenBalance", "merchantFrozenBalance", "responseText",
    "responseCode", "Description", "Address1", "Address2", "Address3", "RFC", "Phone"};
const Keys kStatusFirstKeys = {
    "Accepted", "instructions", "processing", "idProvider", "totalCost", "valid", "idPIN", "idPOS",
    "posDescription", "groupBalance", "chainBalance", "merchantBalance", "groupFrozenBalance",
    "chainFrozenBalance", "merchantFrozenBalance", "responseText", "responseCode", "idTrans",
    "ticketDateTime", "tellerName", "faceValue", "telephone", "notes", "transID", "providerName",
    "Description", "Address1", "Address2", "RFC", "Phone"};
const Keys kBalanceKeys = {
    "Accepted", "tellerName", "idPOS", "groupBalance", "chainBalance", "merchantBalance",
    "groupFrozenBalance", "chainFrozenBalance", "merchantFrozenBalance", "responseText",
    "Description", "Address1", "Address2", "Address3", "RFC", "Phone"};
// clang-format on
// The first list of a sale has responseCode before responseText.
const Keys kSaleFirstKeys = [] {
  Keys keys = kSaleKeys;
  std::iter_swap(std::find(keys.begin(), keys.end(), "responseText"),
                 std::find(keys.begin(), keys.end(), "responseCode"));
  return keys;
}();

constexpr const char* kNoData =
    "TOVALIX: No se pudieron leer los datos para efectuar la transacción";
constexpr const char* kPhone = "5512345678";
constexpr const char* kStamp = "20240501103000+06&caja1";

class AirtimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(settings::GuardaParametros({{"param1", "1234"},
                                            {"param2", "SER-01"},
                                            {"param3", "123456789"},
                                            {"param4", "IPP320"},
                                            {"param5", "http://127.0.0.1:9/gateway.asp"},
                                            {"param6", "Abarrotes La Esperanza"},
                                            {"param7", "AEL010101AAA"},
                                            {"param8", "Av. Juárez 10"},
                                            {"param9", "Centro 06000"},
                                            {"param10", "5555555555"},
                                            {"param11", "Ciudad de México"},
                                            {"param12", "tienda01"},
                                            {"param13", "p&ss+w%rd"},
                                            {"param14", sim.BaseUrl()},
                                            {"param20", "5"},
                                            {"param21", "30"},
                                            {"param24", "20"}},
                                           op));
  }
  void Store(std::string_view key, std::string_view value) {
    ASSERT_TRUE(settings::GuardaParametro(key, value, op));
  }
  // The lookups use the settings an operation loaded before calling them.
  void Load() { ASSERT_TRUE(settings::CargaParametros(parametros, op)); }
  void Script(AirtimeSimulator::Script script) { sim.SetScript(std::move(script)); }
  // Scripts the answer to one path only.
  void On(const std::string& path, std::function<void(AirtimeAnswer&)> change) {
    Script([path, change](const AirtimeRequest& request, AirtimeAnswer& answer) {
      if (request.path == path) change(answer);
    });
  }

  Dictionary Sell(const std::string& name = "TELCEL", double amount = 50,
                  const std::string& phone = kPhone, const std::string& stamp = kStamp,
                  const std::string& teller = "") {
    return TiempoAire(estado, teller, name, phone, amount, stamp);
  }
  std::string Log() const { return ReadFile(folder / "tovalix.log"); }
  std::vector<std::string> Paths() const {
    std::vector<std::string> paths;
    for (const auto& request : sim.Requests()) paths.push_back(request.path);
    return paths;
  }

  ScratchFolder folder;
  ScopedEnv settings_file{"TOVALIX_SETTINGS", (folder / "PinPad.ini").string()};
  ScopedEnv log_dir{"TOVALIX_LOG_DIR", folder.path().string()};
  AirtimeSimulator sim;
  RecordingOperator op;
  settings::Parametros parametros;
  std::int16_t master = -1;
  std::int16_t provider = -1;
  EstadoTiempoAire estado{parametros, op, master, provider};
};

TEST_F(AirtimeTest, SaleSendsTheFieldsInOrderAndReturnsTheAcceptedAnswerWithTheStoreData) {
  const Dictionary result = Sell("TELCEL", 50, kPhone, kStamp, "");

  EXPECT_TRUE(op.shown.empty());
  ASSERT_THAT(Paths(), ElementsAre("/GetCat", "/TopUpPurchase"));
  const auto requests = sim.Requests();
  EXPECT_EQ(requests[0].content_type, "application/x-www-form-urlencoded");
  EXPECT_THAT(requests[0].Names(), ElementsAre("eUser", "ePassword", "serial", "ptid"));
  const AirtimeRequest& sale = requests[1];
  EXPECT_THAT(sale.Names(),
              ElementsAre("eUser", "ePassword", "serial", "ptid", "tellerLogin", "idMaster",
                          "idProvider", "topUpTelephone", "amount", "posTimeStamp"));
  // "&", "%" and "+" are encoded, so the password and the reference arrive whole.
  EXPECT_EQ(sale.Value("ePassword"), "p&ss+w%rd");
  EXPECT_EQ(sale.Value("posTimeStamp"), kStamp);
  EXPECT_THAT(sale.body, HasSubstr("ePassword=p%26ss%2Bw%25rd&serial=SER-01&ptid=123456789"));
  // An empty teller login goes out as an empty field.
  EXPECT_THAT(sale.body, HasSubstr("&tellerLogin=&idMaster=7&idProvider=12&"));
  EXPECT_EQ(sale.Value("amount"), "50");
  EXPECT_EQ(sale.Value("topUpTelephone"), kPhone);

  EXPECT_EQ(result.Keys(), kSaleKeys);
  EXPECT_EQ(result.Item("Accepted"), "True");
  EXPECT_EQ(result.Item("providerName"), "TELCEL");
  EXPECT_EQ(result.Item("faceValue"), "50");
  EXPECT_EQ(result.Item("telephone"), kPhone);
  EXPECT_EQ(result.Item("notes"), "Recarga aplicada");
  EXPECT_EQ(result.Item("responseCode"), "00");
  EXPECT_EQ(result.Item("merchantBalance"), "4950.00");
  EXPECT_EQ(result.Item("Description"), "Abarrotes La Esperanza");
  EXPECT_EQ(result.Item("Address1"), "Av. Juárez 10");
  EXPECT_EQ(result.Item("Address3"), "Ciudad de México");
  EXPECT_EQ(result.Item("RFC"), "AEL010101AAA");
  EXPECT_EQ(result.Item("Phone"), "5555555555");
  EXPECT_EQ(master, 7);
  EXPECT_EQ(provider, 12);
}

TEST_F(AirtimeTest, ProviderIsFoundWhateverItsLetterCaseAndTellerLoginIsSent) {
  const Dictionary result = Sell("tElCeL", 20, kPhone, kStamp, "1234");
  EXPECT_EQ(result.Item("Accepted"), "True");
  EXPECT_EQ(sim.RequestsTo("/TopUpPurchase").at(0).Value("tellerLogin"), "1234");
  EXPECT_EQ(result.Item("tellerName"), "Cajero 1234");
}

TEST_F(AirtimeTest, SaleChecksStopBeforeAnyRequestAndLeaveTheFirstResult) {
  struct Case {
    std::string teller, phone;
    double amount;
    std::string stamp, text;  // shown after "TIEMPO AIRE: "
    int style = 16;
  };
  const std::string stamp26(26, '7');
  const std::string bad_phone = "El número telefónico no es válido.";
  const std::string bad_teller = "El TellerLogin debe estar formado sólo por números";
  const std::vector<Case> cases = {
      {"", "55 1234567", 50, kStamp, bad_phone},
      {"", "551234567", 50, kStamp, "La longitud de vptopUpTelephone debe ser de 10 dígitos"},
      {"", "   ", 50, kStamp, "El número telefónico es indispensable para esta operación."},
      {"", kPhone, 50, stamp26 + "8",
       "El vpposTimeStamp debe tener una longitud máxima de 26 caracteres.", 0},
      {"", kPhone, 50, "  ", "El vpposTimeStamp debe tener un valor único."},
      {"", kPhone, 0, kStamp, "El Monto del Cobro no puede ser menor o igual a cero."},
      {"", kPhone, 50.004, kStamp,
       "El Monto del Cobro 50.004 no es un importe válido: tiene fracción de centavo."},
      {"", kPhone, std::numeric_limits<double>::infinity(), kStamp,
       "El Monto del Cobro INF no es un importe válido: no es un número finito."},
      {"123456789", kPhone, 50, kStamp,
       "La longitud de vptellerLogin no puede ser mayor a 8 caracteres."},
      {"12a", kPhone, 50, kStamp, bad_teller},
      // The service's numbers have no exponent, tab or hexadecimal form.
      {"1e3", kPhone, 50, kStamp, bad_teller},
      {"", "5512345e67", 50, kStamp, bad_phone},
      {"", "551234567\t", 50, kStamp, bad_phone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    op.shown.clear();
    const Dictionary result = TiempoAire(estado, c.teller, "TELCEL", c.phone, c.amount, c.stamp);
    EXPECT_THAT(op.shown,
                ElementsAre(ShownMessage{"TIEMPO AIRE: " + c.text, c.style, "TIEMPO AIRE"}));
    EXPECT_EQ(result.Keys(), kSaleFirstKeys);
    EXPECT_EQ(result.Item("Accepted"), "False");
    EXPECT_EQ(result.Item("responseCode"), "102");
    EXPECT_EQ(result.Item("responseText"), kNoData);
    EXPECT_EQ(result.Item("telephone"), c.phone);
  }
  EXPECT_EQ(sim.RequestCount(), 0u);

  // Exactly 26 characters and ten digits pass.
  op.shown.clear();
  EXPECT_EQ(Sell("TELCEL", 50, "5500000000", stamp26).Item("Accepted"), "True");
  EXPECT_TRUE(op.shown.empty());
}

TEST_F(AirtimeTest, SettingsChecksComeInTheirOrder) {
  Store("param12", "");
  Store("param13", std::string(26, 'x'));
  Sell();
  EXPECT_THAT(op.shown,
              ElementsAre(ShownMessage{"TIEMPO AIRE: Falta ingresar UserTA.", 16, "TIEMPO AIRE"}));

  Store("param12", "tienda01");
  op.shown.clear();
  TiempoAireCantidades(estado, "TELCEL");
  EXPECT_THAT(op.Texts(), ElementsAre("TIEMPO AIRE: La longitud de Password no debe exceder los "
                                      "25 caracteres."));

  // The balance query has its own texts; the sale does not check that PTid is a number, the
  // amounts query does.
  Store("param13", "clave");
  Store("param3", "12A");
  op.shown.clear();
  EXPECT_EQ(TiempoAireCantidades(estado, "TELCEL").Item("Cantidades"), "");
  EXPECT_THAT(op.Texts(), ElementsAre("TOVALIX: El número de terminal debe ser numérico."));
  op.shown.clear();
  EXPECT_EQ(Sell().Item("Accepted"), "True");
  EXPECT_TRUE(op.shown.empty());

  Store("param20", " ");
  op.shown.clear();
  TiempoAireConsultaSaldo(estado, "");
  EXPECT_THAT(op.shown, ElementsAre(ShownMessage{
                            "TOVALIX: No se cuenta con un tiempo de respuesta de la aplicación, "
                            "necesita volver a inicializar.",
                            0, ""}));
}

TEST_F(AirtimeTest, AnIngenicoSerialNumberWithItsTrailingBlankIsNotTooLong) {
  // An iPP320 stores its serial as seven bytes of spaced hex: 21 characters, the last a blank.
  Store("param2", "31 32 33 34 35 36 37 ");
  EXPECT_EQ(Sell().Item("Accepted"), "True");
  EXPECT_EQ(TiempoAireConsultaSaldo(estado, "").Item("Accepted"), "True");
  EXPECT_TRUE(op.shown.empty());
  Store("param2", std::string(21, '7'));
  EXPECT_EQ(Sell("TELCEL", 50, kPhone, "OTRA-REFERENCIA").Item("Accepted"), "False");
  EXPECT_THAT(op.Texts(),
              ElementsAre("TOVALIX: La longitud del No. Serie del Pinpad es incorrecto."));
}

TEST_F(AirtimeTest, AmountNotListedGives900WithoutAMessageAndKeepsTheRequestedFaceValue) {
  const Dictionary result = Sell("Telcel", 25);
  EXPECT_TRUE(op.shown.empty());
  EXPECT_EQ(result.Keys(), kSaleFirstKeys);
  EXPECT_EQ(result.Item("responseCode"), "900");
  EXPECT_EQ(result.Item("responseText"),
            "TOVALIX: No se encontró el importe para el proveedor Telcel");
  EXPECT_EQ(result.Item("Accepted"), "False");
  EXPECT_EQ(result.Item("faceValue"), "25");
  EXPECT_EQ(result.Item("instructions"), kNoData);
  EXPECT_THAT(Paths(), ElementsAre("/GetCat"));
  EXPECT_EQ(master, 0);
  EXPECT_EQ(provider, 0);
}

TEST_F(AirtimeTest, CatalogueHoldingOnlyAnExplanationFailsTheLookupsSilently) {
  Load();
  ASSERT_TRUE(BuscaImporte(estado, "TELCEL", 50));
  On("/GetCat", [](AirtimeAnswer& a) {
    a.raw =
        "<?xml version=\"1.0\"?><Catalog><ResponseText>Usuario bloqueado</ResponseText>"
        "</Catalog>";
  });
  EXPECT_FALSE(BuscaImporte(estado, "TELCEL", 50));
  EXPECT_FALSE(BuscaProveedor(estado, "TELCEL"));
  EXPECT_EQ(master, 0);
  EXPECT_EQ(provider, 0);
  EXPECT_EQ(Sell().Item("responseCode"), "900");
  EXPECT_TRUE(op.shown.empty());
}

TEST_F(AirtimeTest, AmountWithLeadingZerosIsTheSameNumber) {
  sim::Catalogue catalogue;
  catalogue.masters.push_back({"3", {{"40", "Movistar", {"0020.00", "1e2", "30.30"}}}});
  sim.SetCatalogue(catalogue);
  Load();
  EXPECT_TRUE(BuscaImporte(estado, "MOVISTAR", 20));
  EXPECT_EQ(master, 3);
  EXPECT_EQ(provider, 40);
  EXPECT_TRUE(BuscaImporte(estado, "MOVISTAR", 100));
  EXPECT_FALSE(BuscaImporte(estado, "MOVISTAR", 20.5));
  // A host's 10.1 * 3 (30.299999999999997) is the listed 30.30, and is sold as such.
  EXPECT_EQ(Sell("Movistar", 10.1 * 3).Item("Accepted"), "True");
  EXPECT_EQ(sim.Requests().back().Value("amount"), "30.3");
  const Dictionary amounts = TiempoAireCantidades(estado, "movistar");
  EXPECT_EQ(amounts.Item("Cantidades"), "20,100,30.3,");
}

TEST_F(AirtimeTest, RefusedSaleCarriesTheServiceExplanation) {
  On("/TopUpPurchase", [](AirtimeAnswer& a) {
    a.elements.clear();
    a.Set("accepted", "False").Set("responseText", "Saldo insuficiente").Set("responseCode", "51");
  });
  const Dictionary result = Sell();
  EXPECT_TRUE(op.shown.empty());
  EXPECT_EQ(result.Keys(), kSaleKeys);
  EXPECT_EQ(result.Item("Accepted"), "False");
  EXPECT_EQ(result.Item("instructions"), "Saldo insuficiente");
  EXPECT_EQ(result.Item("responseText"), "Saldo insuficiente");
  EXPECT_EQ(result.Item("responseCode"), "51");
  EXPECT_EQ(result.Item("Description"), "");
}

TEST_F(AirtimeTest, AcceptedSaleMissingAnElementReportsItAndReturnsTheEmptyList) {
  On("/TopUpPurchase", [](AirtimeAnswer& a) { a.Remove("notes"); });
  const Dictionary result = Sell();
  ASSERT_EQ(op.shown.size(), 1u);
  EXPECT_THAT(op.shown[0].text, HasSubstr("notes"));
  EXPECT_EQ(op.shown[0].style, 0);
  EXPECT_EQ(op.shown[0].title, "");
  EXPECT_THAT(Log(), HasSubstr("notes"));
  EXPECT_EQ(result.Keys(), kSaleKeys);
  for (const auto& [key, value] : result.Entries()) {
    EXPECT_EQ(value, key == "responseCode" ? "102" : "") << key;
  }
}

TEST_F(AirtimeTest, StatusOtherThan200ShowsStatusAndBody) {
  On("/TopUpPurchase", [](AirtimeAnswer& a) {
    a.status = 503;
    a.raw = "Servicio no disponible";
  });
  const Dictionary result = Sell();
  EXPECT_THAT(op.shown, ElementsAre(ShownMessage{
                            "TIEMPO AIRE: Ocurrió un error al intentar conectar con el gateway "
                            "deQuelvan503-----Servicio no disponible",
                            0, ""}));
  EXPECT_EQ(result.Keys(), kSaleKeys);
  EXPECT_EQ(result.Item("Accepted"), "");
  EXPECT_EQ(result.Item("responseCode"), "102");
  EXPECT_EQ(Log(), "");

  // A long body is quoted short and without its control characters.
  op.shown.clear();
  On("/TopUpPurchase", [](AirtimeAnswer& a) {
    a.status = 500;
    a.raw = "Falla\r\n\t" + std::string(100000, 'x');
  });
  Sell();
  EXPECT_THAT(op.Texts(), ElementsAre("TIEMPO AIRE: Ocurrió un error al intentar conectar con el "
                                      "gateway deQuelvan500-----Falla" +
                                      std::string(295, 'x') + "..."));
}

TEST_F(AirtimeTest, HostileAnswersAreRefusedOrHarmless) {
  const std::string refused = "<accepted>False</accepted><responseCode>7</responseCode>";
  struct Case {
    const char* what;
    std::string body;
    const char* accepted;
    const char* response_text;
  };
  const std::vector<Case> cases = {
      {"a document type is refused: its entities are never expanded",
       "<!DOCTYPE r [<!ENTITY a \"xxxxxxxxxx\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
       "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]><r>" +
           refused + "<responseText>&c;</responseText></r>",
       "", ""},
      {"nor are external entities fetched",
       "<!DOCTYPE r [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><r>" + refused +
           "<responseText>&e;</responseText></r>",
       "", ""},
      {"a document past the size limit is not read",
       "<r><accepted>True</accepted><notes>" + std::string(std::size_t{2} << 20, 'n') +
           "</notes></r>",
       "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    On("/TopUpPurchase", [&](AirtimeAnswer& a) { a.raw = c.body; });
    const Dictionary result = Sell();
    EXPECT_EQ(result.Keys(), kSaleKeys);
    EXPECT_EQ(result.Item("Accepted"), c.accepted);
    EXPECT_EQ(result.Item("responseText"), c.response_text);
  }
  EXPECT_THAT(op.Texts(), ElementsAre(HasSubstr("tipo de documento"),
                                      HasSubstr("tipo de documento"), HasSubstr("se interrumpió")));
}

TEST_F(AirtimeTest, AnswersThatAreNotXmlOrComeTooLateAreReported) {
  On("/GetBalance", [](AirtimeAnswer& a) { a.raw = "<html><body>Error</body"; });
  Dictionary result = TiempoAireConsultaSaldo(estado, "");
  ASSERT_EQ(op.shown.size(), 1u);
  EXPECT_THAT(op.shown[0].text, HasSubstr("XML"));
  EXPECT_EQ(result.Keys(), kBalanceKeys);
  EXPECT_EQ(result.Item("Accepted"), "False");
  EXPECT_THAT(Log(), HasSubstr("XML"));

  // A time-out setting of 0 or past 120 s is bounded: neither a failure nor a wait without end.
  Script({});
  for (const char* unusable : {"3000000", "0"}) {
    Store("param20", unusable);
    op.shown.clear();
    EXPECT_EQ(TiempoAireConsultaSaldo(estado, "").Item("Accepted"), "True") << unusable;
    EXPECT_TRUE(op.shown.empty());
  }

  Store("param20", "1");
  On("/GetBalance", [](AirtimeAnswer& a) { a.delay = std::chrono::seconds(5); });
  op.shown.clear();
  result = TiempoAireConsultaSaldo(estado, "");
  EXPECT_EQ(op.shown.size(), 1u);
  EXPECT_EQ(result.Item("Accepted"), "False");
  EXPECT_EQ(result.Item("responseText"), "");
}

TEST_F(AirtimeTest, StatusOfASaleFindsItByItsReference) {
  ASSERT_EQ(Sell("TELCEL", 100).Item("Accepted"), "True");
  master = provider = -1;
  const Dictionary result = TiempoAireStatusVenta(estado, "telcel", kStamp);
  EXPECT_TRUE(op.shown.empty());
  const AirtimeRequest verify = sim.RequestsTo("/VerifyTopUpPurchase").at(0);
  EXPECT_THAT(verify.Names(),
              ElementsAre("eUser", "ePassword", "serial", "ptid", "idMaster", "posTimeStamp"));
  EXPECT_EQ(verify.Value("idMaster"), "7");
  EXPECT_EQ(verify.Value("posTimeStamp"), kStamp);
  EXPECT_EQ(master, 7);
  EXPECT_EQ(provider, 0);  // the provider lookup sets only the master id

  EXPECT_EQ(result.Keys(), kStatusKeys);
  EXPECT_EQ(result.Item("Accepted"), "True");
  EXPECT_EQ(result.Item("processing"), "False");
  EXPECT_EQ(result.Item("idProvider"), "12");
  EXPECT_EQ(result.Item("faceValue"), "100");
  EXPECT_EQ(result.Item("telephone"), kPhone);
  EXPECT_EQ(result.Item("Address2"), "Centro 06000");

  const Dictionary unknown = TiempoAireStatusVenta(estado, "TELCEL", "otra");
  EXPECT_EQ(unknown.Item("Accepted"), "False");
  EXPECT_EQ(unknown.Item("processing"), "False");
  EXPECT_EQ(unknown.Item("responseText"), "Transaccion no encontrada");
  EXPECT_EQ(unknown.Item("responseCode"), "14");
}

TEST_F(AirtimeTest, StatusStillProcessingWinsOverAccepted) {
  On("/VerifyTopUpPurchase", [](AirtimeAnswer& a) {
    a.elements.clear();
    a.Set("accepted", "True").Set("processing", "True");
  });
  const Dictionary result = TiempoAireStatusVenta(estado, "TELCEL", kStamp);
  EXPECT_EQ(result.Keys(), kStatusKeys);
  EXPECT_EQ(result.Item("Accepted"), "");
  EXPECT_EQ(result.Item("processing"), "True");
  EXPECT_EQ(result.Item("responseText"),
            "TIEMPO AIRE: La transacción sigue en proceso. Verifiquelo más tarde");
  EXPECT_EQ(result.Item("responseCode"), "102");
  EXPECT_TRUE(op.shown.empty());
}

TEST_F(AirtimeTest, StatusWithoutSettingsKeepsItsFirstListWithoutAddress3) {
  std::filesystem::remove(folder / "PinPad.ini");
  const Dictionary result = TiempoAireStatusVenta(estado, "TELCEL", kStamp);
  EXPECT_EQ(result.Keys(), kStatusFirstKeys);
  EXPECT_FALSE(result.Exists("Address3"));
  EXPECT_EQ(result.Item("Accepted"), "");
  EXPECT_EQ(result.Item("responseText"),
            "TOVALIX: No se pudieron leer los datos para efectuar la verificación");
  ASSERT_EQ(op.shown.size(), 2u);  // the loader's own message first
  EXPECT_EQ(op.shown[1], (ShownMessage{"TOVALIX : Tiempo Aire no esta inicializada "
                                       "(Kestrivo.exe). Llame al técnico.",
                                       16, ""}));
  EXPECT_EQ(sim.RequestCount(), 0u);
}

TEST_F(AirtimeTest, StatusForAnUnknownProviderSaysSo) {
  const Dictionary result = TiempoAireStatusVenta(estado, "Nextel", kStamp);
  const std::string text = "TOVALIX: Nextel no encontrado o no hay conexion con el servidor";
  EXPECT_THAT(op.shown, ElementsAre(ShownMessage{text, 0, ""}));
  EXPECT_EQ(result.Keys(), kStatusFirstKeys);
  EXPECT_EQ(result.Item("responseText"), text);
  EXPECT_EQ(result.Item("responseCode"), "102");
  EXPECT_THAT(Paths(), ElementsAre("/GetCat"));
}

TEST_F(AirtimeTest, BalanceAcceptedOnlyWhenTheServiceSaysTrueExactly) {
  Dictionary result = TiempoAireConsultaSaldo(estado, "");
  const AirtimeRequest request = sim.RequestsTo("/GetBalance").at(0);
  EXPECT_THAT(request.Names(), ElementsAre("eUser", "ePassword", "serial", "ptid", "tellerLogin"));
  EXPECT_THAT(request.body, ::testing::EndsWith("&tellerLogin="));
  EXPECT_EQ(result.Keys(), kBalanceKeys);
  EXPECT_EQ(result.Item("Accepted"), "True");
  EXPECT_EQ(result.Item("merchantBalance"), "5000.00");
  EXPECT_EQ(result.Item("Phone"), "5555555555");

  On("/GetBalance",
     [](AirtimeAnswer& a) { a.Set("accepted", "true").Set("responseText", "Consulta rechazada"); });
  result = TiempoAireConsultaSaldo(estado, "42");
  EXPECT_EQ(result.Keys(), kBalanceKeys);
  EXPECT_EQ(result.Item("Accepted"), "False");
  EXPECT_EQ(result.Item("responseText"), "Consulta rechazada");
  EXPECT_EQ(result.Item("merchantBalance"), "");
  EXPECT_EQ(result.Item("Description"), "");

  TiempoAireConsultaSaldo(estado, "123456789");
  EXPECT_THAT(op.Texts(), ElementsAre("TIEMPO AIRE Consulta Saldo: La longitud de vptellerLogin "
                                      "no puede ser mayor a 8 caracteres."));
  EXPECT_EQ(sim.RequestsTo("/GetBalance").size(), 2u);
}

TEST_F(AirtimeTest, AmountsOfAProviderAndOfOneTheCatalogueDoesNotList) {
  Dictionary result = TiempoAireCantidades(estado, "Telcel");
  EXPECT_THAT(result.Keys(), ElementsAre("Cantidades", "instructions", "Accepted", "responseText"));
  EXPECT_EQ(result.Item("Cantidades"), "20,30,50,100,200,500,");
  EXPECT_EQ(result.Item("Accepted"), "True");
  EXPECT_EQ(result.Item("responseText"), "");

  result = TiempoAireCantidades(estado, "NEXTEL");
  EXPECT_EQ(result.Item("Cantidades"), "");
  EXPECT_EQ(result.Item("Accepted"), "True");
  EXPECT_EQ(result.Item("responseText"), "Verifique que tenga asignado el Proveedor que indicó.");
  EXPECT_TRUE(op.shown.empty());
}

TEST_F(AirtimeTest, RefusedCatalogueExplainsItselfInTheAmountsResult) {
  sim::Catalogue refused;
  refused.accepted = "False";
  refused.response_text = "Terminal no registrada";
  sim.SetCatalogue(refused);
  const Dictionary result = TiempoAireCantidades(estado, "TELCEL");
  EXPECT_EQ(result.Item("Accepted"), "False");
  EXPECT_EQ(result.Item("instructions"), "Terminal no registrada");
  EXPECT_EQ(result.Item("responseText"), "Terminal no registrada");
  EXPECT_EQ(result.Item("Cantidades"), "");

  // The catalogue's status is not looked at; a listed amount that is not a number is a
  // failure that leaves the first result.
  On("/GetCat", [](AirtimeAnswer& a) {
    a.status = 500;
    sim::Catalogue odd;
    odd.masters.push_back({"7", {{"12", "TELCEL", {"20.00", "veinte"}}}});
    a.raw = sim::CatalogueXml(odd);
  });
  const Dictionary failed = TiempoAireCantidades(estado, "TELCEL");
  EXPECT_EQ(failed.Item("Cantidades"), "");
  EXPECT_EQ(failed.Item("responseText"), "Error al leer los datos de la transacción");
  EXPECT_EQ(failed.Item("Accepted"), "False");
  EXPECT_THAT(op.Texts(), ElementsAre("No coinciden los tipos"));
}

TEST_F(AirtimeTest, LookupsFailWhenTheServiceCannotBeReached) {
  Load();
  EXPECT_TRUE(BuscaProveedor(estado, "TELCEL"));
  Store("param14", "http://127.0.0.1:1");
  Load();
  EXPECT_FALSE(BuscaProveedor(estado, "TELCEL"));
  EXPECT_EQ(master, 0);
  EXPECT_TRUE(op.shown.empty());
  const Dictionary result = TiempoAireStatusVenta(estado, "TELCEL", kStamp);
  EXPECT_THAT(op.Texts(), ElementsAre("TOVALIX: TELCEL no encontrado o no hay conexion con el "
                                      "servidor"));
  EXPECT_EQ(result.Item("responseCode"), "102");
  EXPECT_FALSE(Log().empty());  // the cause is kept in the log
}

// The catalogue walk on its own: the rules that decide which entry counts.
TEST(AirtimeCatalogue, FirstMatchingProviderDecidesAndIdsAreTakenByPosition) {
  const std::string twice =
      "<C><MASTER>9<OPERATIONMODE>"
      "<PROVIDER><ID>1</ID><PROVIDERDESCRIPTION>TELCEL</PROVIDERDESCRIPTION>"
      "<AMOUNT><a/><v>20</v></AMOUNT></PROVIDER>"
      "<PROVIDER><ID>2</ID><PROVIDERDESCRIPTION>telcel</PROVIDERDESCRIPTION>"
      "<AMOUNT><a/><v>50</v></AMOUNT></PROVIDER>"
      "</OPERATIONMODE></MASTER></C>";
  EXPECT_EQ(RecorreImporte(twice, "Telcel", 20), (IdsCatalogo{9, 1}));
  EXPECT_EQ(RecorreImporte(twice, "Telcel", 50), (IdsCatalogo{}));  // listed under the second
  EXPECT_EQ(RecorreProveedor(twice, "TELCEL"), (IdsCatalogo{9, 0}));
  EXPECT_EQ(RecorreCantidades(twice, "TELCEL").lista, "20,");

  // An explanation before the master ends the lookup; after a match it does not matter.
  const std::string refused = "<C><RESPONSETEXT>no</RESPONSETEXT>" + twice.substr(3);
  EXPECT_EQ(RecorreProveedor(refused, "TELCEL"), (IdsCatalogo{}));
  // A master id of 0 is no match; a description with nothing before it is a failure.
  EXPECT_EQ(RecorreProveedor("<C><MASTER>0<OPERATIONMODE><PROVIDER><I>4</I>"
                             "<PROVIDERDESCRIPTION>X</PROVIDERDESCRIPTION></PROVIDER>"
                             "</OPERATIONMODE></MASTER></C>",
                             "x"),
            (IdsCatalogo{}));
  EXPECT_THROW(RecorreProveedor("<C><MASTER>5<OPERATIONMODE><PROVIDER>"
                                "<PROVIDERDESCRIPTION>X</PROVIDERDESCRIPTION></PROVIDER>"
                                "</OPERATIONMODE></MASTER></C>",
                                "X"),
               Failure);
  EXPECT_THROW(RecorreImporte("<C><MASTER>5<OPERATIONMODE><PROVIDER><I>4</I>"
                              "<PROVIDERDESCRIPTION>X</PROVIDERDESCRIPTION><AMOUNT>20</AMOUNT>"
                              "</PROVIDER></OPERATIONMODE></MASTER></C>",
                              "X", 20),
               Failure);  // AMOUNT without a second child node
  EXPECT_THROW(RecorreImporte("<C><MASTER>70000<OPERATIONMODE><PROVIDER><I>4</I>"
                              "<PROVIDERDESCRIPTION>X</PROVIDERDESCRIPTION><AMOUNT><a/>20</AMOUNT>"
                              "</PROVIDER></OPERATIONMODE></MASTER></C>",
                              "X", 20),
               Failure);  // the master id does not fit in 16 bits
}

TEST(AirtimeXml, NodesInOrderWithTextsByPositionAndNamesCaseSensitive) {
  const auto document = platform::MakeXmlDocument();
  document->Load(
      "<?xml version=\"1.0\"?>\n<!-- c --><r>\n  <Accepted> True </Accepted>\n"
      "  <m>7<x>a<y>b</y></x><![CDATA[<z>]]></m>\n</r>");
  const platform::XmlNode root = document->Root();
  EXPECT_EQ(root.Name(), "r");
  EXPECT_EQ(root.ChildElement("Accepted").Text(), "True");
  EXPECT_TRUE(root.ChildElement("accepted").IsNull());
  const platform::XmlNode m = root.Child(1);
  EXPECT_EQ(m.Name(), "m");
  EXPECT_EQ(m.Child(0).Name(), "#text");
  EXPECT_EQ(m.Child(0).Text(), "7");
  EXPECT_EQ(m.Child(1).Text(), "ab");
  EXPECT_EQ(m.Child(2).Name(), "#cdata-section");
  EXPECT_EQ(m.Child(2).PreviousSibling().Name(), "x");
  EXPECT_TRUE(m.Child(3).IsNull());
  EXPECT_EQ(m.Text(), "7ab<z>");
  EXPECT_FALSE(root.Child(0).Child(0).HasChildren());

  EXPECT_THROW(document->Load("not xml"), Failure);
  EXPECT_TRUE(document->Root().IsNull());
  EXPECT_THROW(document->Load(""), Failure);
  // Elements nest at most 256 deep; far deeper nesting is refused without breaking the parser.
  const auto nested = [](int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<a>";
    text += "t";
    for (int i = 0; i < depth; ++i) text += "</a>";
    return text;
  };
  document->Load(nested(256));
  EXPECT_EQ(document->Root().Text(), "t");
  EXPECT_THROW(document->Load(nested(257)), Failure);
  EXPECT_THROW(document->Load(nested(200000)), Failure);
}

}  // namespace
}  // namespace tovalix::airtime
