// The counter services against the gateway simulator, on a terminal stored on disk: what each
// procedure refuses and how, what it posts where, and what it returns.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <tovalix/mostrador.hpp>

#include "control/cliente_state.hpp"
#include "counter/asigna_nip.hpp"
#include "counter/corresponsal.hpp"
#include "counter/remesas.hpp"
#include "serial/port_discovery.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "sim/optimum/optimum_pinpad.hpp"
#include "support/terminal_fixture.hpp"

namespace tovalix {
namespace {

using counter::Identificaciones;
using sim::GatewayAnswer;
using sim::GatewayRequest;
using sim::GatewaySimulator;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::RecordingOperator;
using testing::ScopedEnv;
using testing::ShownMessage;
using testing::TerminalFixture;

using Pairs = std::vector<std::pair<std::string, std::string>>;
// `keys`, then the merchant's.
std::vector<std::string> WithMerchant(std::vector<std::string> keys) {
  for (const char* key : {"Description", "Address1", "Address2", "Address3", "RFC", "Phone"}) {
    keys.push_back(key);
  }
  return keys;
}
constexpr const char* kTrack1 = "B4000000000000002^PRUEBA/TARJETA^25121010000";
constexpr const char* kTrack2 = "4000000000000002=2512101";
constexpr const char* kSerieIpp320 = "01 23 45 67 89 AB CD ";  // as initialization stores it

class Counter : public ::testing::Test {
 protected:
  void SetUp() override { Terminal({}); }

  // An iPP320 terminal found on a port, its gateway the simulator, with `overrides`.
  void Terminal(const std::map<std::string, std::string>& overrides) {
    // The banking-agent and gift-card time-outs stay empty, as the gateway may leave them.
    std::map<std::string, std::string> values = {{"param2", kSerieIpp320},
                                                 {"param5", gateway.Url()}};
    for (const auto& [key, value] : overrides) values[key] = value;
    ASSERT_TRUE(terminal.Initialize("IPP320", "5", values));
    terminal.MapDevice("\\Device\\USBSER000", "/dev/null-pinpad");
  }

  Dictionary Sesion(const std::string& user, const std::string& nip, const std::string& track2,
                    const std::string& type) {
    return counter::SesionCajero(p, puerto, op, user, nip, track2, type);
  }
  Dictionary Nip(const std::string& nip, const std::string& track1 = kTrack1,
                 const std::string& track2 = kTrack2) {
    return counter::AsignaNip(p, puerto, op, nip, track1, track2);
  }

  // The body of the one request the simulator got, as it arrived.
  std::string OnlyRequestBody(const std::string& path) {
    const auto requests = gateway.Requests();
    EXPECT_EQ(requests.size(), 1U);
    if (requests.empty()) return "";
    EXPECT_EQ(requests[0].path, path);
    return requests[0].body;
  }
  std::string LastShown() const { return op.shown.empty() ? "" : op.shown.back().text; }

  GatewaySimulator gateway;
  ScopedEnv counter_url{"TOVALIX_COUNTER_URL",
                        "http://127.0.0.1:" + std::to_string(gateway.Port())};
  TerminalFixture terminal;
  RecordingOperator op;
  settings::Parametros p;
  std::string puerto;
};

void ExpectMerchant(const Dictionary& r) {
  EXPECT_EQ(r.Item("Description"), "ABARROTES LA ESPERANZA");
  EXPECT_EQ(r.Item("Address1"), "AV. JUAREZ 12");
  EXPECT_EQ(r.Item("Address2"), "CENTRO CUAUHTEMOC CP.06000");
  EXPECT_EQ(r.Item("Address3"), "CIUDAD DE MEXICO,CDMX");
  EXPECT_EQ(r.Item("RFC"), "AES010101AB1");
  EXPECT_EQ(r.Item("Phone"), "5555555555");
}

TEST_F(Counter, SignInChecksTheUserNipCardAndOperationTypeInOrder) {
  struct Case {
    std::string user, nip, track2, type;
    ShownMessage shown;
  };
  const auto plain = [](std::string text) {
    return ShownMessage{std::move(text), Operator::kPlain, ""};
  };
  const std::string user = "12345678";
  const std::string bad_card = "Problemas al leer la Tarjeta, reintente.";
  const std::vector<Case> refused = {
      {"  ", "1234", kTrack2, "C", plain("TOVALIX: El Usuario es un dato obligatorio.")},
      {"1234567", "1234", kTrack2, "C",
       plain("TOVALIX: El No. de Operador debe tener una longitud de 8 dígitos.")},
      {"1234567a",
       "1234",
       kTrack2,
       "C",
       {"TOVALIX: El No. de Operador debe ser numérico.", Operator::kCritical,
        "VALIDACION DE LOS DATOS ENVIADOS PARA SER OPERADOS"}},
      {"12223456", "1234", kTrack2, "C",
       plain("TOVALIX: El No. de Operador no puede tener más de dos dígitos iguales, juntos.")},
      {user, "", kTrack2, "C", plain("TOVALIX: No ingresó el NIP, verifique.")},
      {user, "1234", "", "C", plain(bad_card)},
      {user, "1234", " ", "c", plain(bad_card)},
      {user, "123", kTrack2, "C", plain("TOVALIX: El NIP debe ser de 4 dígitos.")},
      {user, "12a4", kTrack2, "D", plain("TOVALIX: El NIP debe ser numérico.")},
      {user, "1112", kTrack2, "C",
       plain("TOVALIX: El NIP no puede tener más de dos dígitos iguales, juntos.")},
      {user, "1234", kTrack2, "X",
       plain("TOVALIX: El Tipo de Operacion sólo puede ser C = Connect ó D = Disconnect ")},
  };
  for (const Case& c : refused) {
    op.shown.clear();
    const Dictionary r = Sesion(c.user, c.nip, c.track2, c.type);
    EXPECT_EQ(op.shown, std::vector<ShownMessage>{c.shown}) << c.user << " " << c.nip;
    EXPECT_EQ(r.Keys(), (std::vector<std::string>{"status", "teller"}));
    EXPECT_EQ(r.Item("status"), "");
  }
  EXPECT_EQ(gateway.RequestCount(), 0U);

  // Two equal digits in a row are fine; lower case goes out as written; a disconnection needs
  // neither NIP nor card.
  op.shown.clear();
  Sesion("11223344", "1234", kTrack2, "c");
  Sesion(user, "", "", "D");
  const auto requests = gateway.Requests();
  ASSERT_EQ(requests.size(), 2U);
  EXPECT_EQ(requests[0].Value("Operation_Type"), "c");
  EXPECT_EQ(requests[1].path + " " + requests[1].body,
            "/corresponsal/login.asp UserCB=12345678&Nip=&Track2=&Operation_Type=D&"
            "process_type=ConnectUser");
  EXPECT_TRUE(op.shown.empty());
}

TEST_F(Counter, CounterStartRefusesBeforeAnyCheckOfTheTeller) {
  TerminalFixture uninitialized;  // a fresh, empty settings file
  Dictionary r = Sesion("12345678", "1234", kTrack2, "C");
  EXPECT_EQ(op.shown.back(), (ShownMessage{"TOVALIX: Pin Pad mal inicializada (Kestrivo.exe). "
                                           "Llame al técnico.",
                                           Operator::kCritical, ""}));
  EXPECT_EQ(r.Keys(), (std::vector<std::string>{"status", "teller"}));
  EXPECT_EQ(gateway.RequestCount(), 0U);
}

TEST_F(Counter, CounterStartChecksThePortAndTheSerialNumber) {
  TerminalFixture other;
  ASSERT_TRUE(other.Initialize("IPP320", "5",
                               {{"param5", gateway.Url()}, {"param23", "45"}}));  // no port mapped
  Sesion("12345678", "1234", kTrack2, "C");
  EXPECT_THAT(op.Texts(), ElementsAre(std::string(serial::kPuertoNoDefinido)));
  EXPECT_EQ(puerto, "");

  const ShownMessage too_long = {"TOVALIX: La longitud del No. Serie del Pinpad es incorrecto.",
                                 Operator::kCritical,
                                 "VALIDACION DE LOS DATOS LEIDOS DE LA PIN PAD"};
  other.MapDevice("\\Device\\USBSER000", "/dev/null-pinpad");
  ASSERT_TRUE(other.Initialize(
      "IPP320", "5",
      {{"param5", gateway.Url()}, {"param23", "45"}, {"param2", "01 23 45 67 89 AB CD E"}}));
  op.shown.clear();
  counter::RegistraBitacora(p, puerto, op, Dictionary{});
  EXPECT_EQ(op.shown, std::vector<ShownMessage>{too_long});
  EXPECT_EQ(gateway.RequestCount(), 0U);

  ASSERT_TRUE(other.Initialize(
      "IPP320", "5",
      {{"param5", gateway.Url()}, {"param23", "45"}, {"param2", std::string(" ") + kSerieIpp320}}));
  op.shown.clear();
  Sesion("12345678", "", "", "D");  // twenty characters once trimmed pass
  EXPECT_EQ(gateway.RequestCount(), 1U);
}

TEST_F(Counter, NothingGoesByPlainHttpToAnotherMachine) {
  {
    ScopedEnv counter("TOVALIX_COUNTER_URL", "http://agente.example");
    Sesion("12345678", "1234", kTrack2, "C");
  }
  Terminal({{"param5", "http://pagos.example/gateway.asp"}});
  puerto = "/dev/null-pinpad";
  Nip("1234");
  counter::ConsultaRemesa(p, op, "ORD-7");
  const auto gateway_refused = HasSubstr("http://pagos.example/gateway.asp no es segura. ");
  EXPECT_THAT(op.Texts(), ElementsAre(HasSubstr("http://agente.example no es segura. "),
                                      gateway_refused, gateway_refused));
  EXPECT_EQ(gateway.RequestCount(), 0U);
}

TEST_F(Counter, GatewayFailuresStillCarryTheMerchant) {
  gateway.SetScript([](const GatewayRequest&, GatewayAnswer& a) { a.status = 500; });
  const Dictionary r = Sesion("12345678", "1234", kTrack2, "C");
  EXPECT_EQ(r.Item("status"), "0");
  ExpectMerchant(r);
  EXPECT_EQ(LastShown(), "TOVALIX: ERROR AL MANDAR AL SERVIDOR QUELVAN Http Status ");
}

Dictionary LogEntry() {
  Dictionary d;
  const Pairs entries = {
      {"total", "150.50"},       {"date_time", "2024-01-31 12:00"}, {"truncated", ""},
      {"address1", "AV. UNO 1"}, {"address2", "COL. DOS"},          {"address3", "TRES"},
      {"brand", "VISA"},         {"rfc", "AES010101AB1"},           {"phone", "5550001111"},
      {"teller", "12345678"},    {"response_message", "APROBADA"},  {"operation_type", "DEP"}};
  for (const auto& [key, value] : entries) d.Add(key, value);
  return d;
}

TEST_F(Counter, OperationLogPostsEveryEntryInItsField) {
  const Dictionary r = counter::RegistraBitacora(p, puerto, op, LogEntry());
  EXPECT_EQ(OnlyRequestBody("/corresponsal/log.asp"),
            "operation_type=DEP&total=150.5&date_time=2024-01-31 12:00&truncated=0&address1=AV. UNO"
            " 1&address2=COL. DOS&address3=TRES&brand=VISA&rfc=AES010101AB1&phone=5550001111&"
            "teller=12345678&response_message=APROBADA&process_type=Log");
  EXPECT_EQ(r.Keys(), WithMerchant({"status"}));
}

TEST_F(Counter, OperationLogWithAMissingEntryOrABadTotalSendsNothing) {
  Dictionary missing = LogEntry();
  missing.Remove("teller");
  Dictionary bad_total = LogEntry();
  bad_total.Set("total", "ciento");
  for (const Dictionary& entry : {missing, bad_total}) {
    op.shown.clear();
    const Dictionary r = counter::RegistraBitacora(p, puerto, op, entry);
    EXPECT_EQ(r.Entries(), (std::vector<Dictionary::Entry>{{"status", ""}}));
    ASSERT_EQ(op.shown.size(), 1U);
    EXPECT_EQ(op.shown[0].style, Operator::kPlain);
  }
  EXPECT_EQ(gateway.RequestCount(), 0U);
  EXPECT_THAT(terminal.LogText(), ::testing::HasSubstr("\"teller\""));
}

TEST_F(Counter, RemittancesGoToTheStoredGatewayWithTheDefaultTimeOut) {
  ASSERT_EQ(p.TimeOutOrex, "");  // the terminal stores none: the default must be used
  counter::ConsultaRemesa(p, op, "ORD-7");
  Identificaciones documents;  // only the passport: the other six go out empty
  documents.pasaporte = "G12345678";
  counter::PagaRemesa(p, op, "ORD-7", documents);
  const auto requests = gateway.Requests();
  ASSERT_EQ(requests.size(), 2U);
  EXPECT_EQ(requests[0].path + " " + requests[0].body,
            "/gateway.asp orderNumber=ORD-7&process_type=OREXCheck");
  EXPECT_EQ(requests[1].path + " " + requests[1].body,
            "/gateway.asp orderNumber=ORD-7&visa=&pasaporte=G12345678&green_card=&ss=&"
            "matricula_consular=&ide=&licencia=&process_type=OREXPay");
  EXPECT_TRUE(op.shown.empty());

  settings::Parametros stored;  // blank or not a number: the documented 45 seconds
  EXPECT_EQ(counter::TimeOutRemesa(stored), "45");
  stored.TimeOutOrex = "treinta";
  EXPECT_EQ(counter::TimeOutRemesa(stored), "45");
  stored.TimeOutOrex = "30";
  EXPECT_EQ(counter::TimeOutRemesa(stored), "30");
}

TEST_F(Counter, RemittanceRefusals) {
  const Dictionary r = counter::ConsultaRemesa(p, op, "   ");
  EXPECT_EQ(
      op.shown,
      (std::vector<ShownMessage>{{"REMESAS : Falta indicar la orden", Operator::kPlain, ""}}));
  EXPECT_EQ(r.Keys(),
            (std::vector<std::string>{"autho_number", "response_code", "date_time", "deposit",
                                      "service", "total", "rate", "recieve", "bank_autho",
                                      "id_status", "status", "consignor_name", "consignor_address",
                                      "beneficiary_name", "beneficiary_address"}));
  EXPECT_EQ(r.Item("status"), "Error al buscar la orden");
  EXPECT_EQ(r.Item("id_status"), "0");

  op.shown.clear();
  const Dictionary pay =
      counter::PagaRemesa(p, op, "ORD-7", Identificaciones{" ", "", "", "", "", "", " "});
  EXPECT_EQ(LastShown(), "REMESAS : Debe haber un número de identificación para efectuar el pago.");
  EXPECT_EQ(pay.Entries(), (std::vector<Dictionary::Entry>{
                               {"response_code", ""}, {"status", "Error al buscar la orden"}}));

  TerminalFixture uninitialized;
  op.shown.clear();
  counter::PagaRemesa(p, op, "ORD-7", Identificaciones{"V1", "", "", "", "", "", ""});
  EXPECT_EQ(op.shown.back(), (ShownMessage{"TOVALIX : Pin Pad mal inicializada (Kestrivo.exe). "
                                           "Llame al técnico.",
                                           Operator::kCritical, ""}));
  EXPECT_EQ(gateway.RequestCount(), 0U);
}

TEST_F(Counter, GiftCardPinPostsTheCardAndTheTerminal) {
  puerto = "/dev/null-pinpad";       // decided by an earlier operation
  const Dictionary r = Nip(" 123");  // a blank and three digits: four characters, a number
  EXPECT_EQ(OnlyRequestBody("/gateway.asp"),
            "nip= 123&serial=" + std::string(kSerieIpp320) +
                "&ptid=123456&process_type=GCSetNip&track2=" + std::string(kTrack2) +
                "&track1=" + std::string(kTrack1));
  std::vector<std::string> keys = WithMerchant({"error"});
  keys.push_back("Servicio");
  EXPECT_EQ(r.Keys(), keys);
  EXPECT_TRUE(op.shown.empty());
}

TEST_F(Counter, GiftCardPinRefusals) {
  puerto = "/dev/null-pinpad";
  const std::vector<std::tuple<std::string, std::string, std::string>> refused = {
      {"123", kTrack1, "TOVALIX: La longitud del NIP  debe ser de 4 "},
      {"12a4", kTrack1, "TOVALIX: El NIP Sólo acepta números"},
      {"1234", "", "TOVALIX: No se recibieron los datos de la tarjeta."},
  };
  for (const auto& [nip, track1, message] : refused) {
    op.shown.clear();
    const Dictionary r = Nip(nip, track1);
    EXPECT_EQ(op.shown, (std::vector<ShownMessage>{{message, Operator::kPlain, ""}})) << nip;
    EXPECT_EQ(r.Keys(),
              (std::vector<std::string>{"error", "track2", "pos", "date_time", "teller"}));
    EXPECT_EQ(r.Item("error"), "ERROR AL LEER LA TARJETA");
  }

  // No operation has decided the port yet: nothing is said, nothing is sent.
  op.shown.clear();
  puerto.clear();
  Nip("1234");
  EXPECT_TRUE(op.shown.empty());

  puerto = "/dev/null-pinpad";
  ASSERT_TRUE(terminal.Initialize(
      "IPP320", "5",
      {{"param5", gateway.Url()}, {"param23", "45"}, {"param2", "SERIE-0123456789-ABCD"}}));
  Nip("1234");
  EXPECT_EQ(
      op.shown,
      (std::vector<ShownMessage>{{"TOVALIX: La longitud del No. Serie del Pinpad es incorrecto.",
                                  Operator::kCritical, "SERIE-0123456789-ABCD"}}));
  EXPECT_EQ(gateway.RequestCount(), 0U);
}

// The public class over the real simulators, the gateway on 127.0.0.1 and the Optimum on a pty:
// each row runs on a new Mostrador, with the customer-service contacts configured or not, and
// says what it returned, which boxes it showed and how many texts reached the printer.
class CounterDesk : public Counter {
 protected:
  using Call = std::function<std::string(tovalix::Mostrador&)>;
  // The entries `keys` of what `call` returns, as "key=value ...".
  static Call Pick(std::function<Dictionary(tovalix::Mostrador&)> call,
                   std::vector<const char*> keys) {
    return [=](tovalix::Mostrador& m) {
      const Dictionary d = call(m);
      std::string text;
      for (const char* key : keys) text += (text.empty() ? "" : " ") + (key + ("=" + d.Item(key)));
      return text;
    };
  }
  // What a print returned, then " +" or " -" for each of `texts` the last print holds or lacks.
  Call Print(std::function<std::int16_t(tovalix::Mostrador&)> call,
             std::vector<std::string> texts = {}) const {
    return [=, this](tovalix::Mostrador& m) {
      std::string result = std::to_string(call(m));
      const auto sent = pad.PrintRequests();
      const std::string last = sent.empty() ? "" : sent.back();
      for (const auto& text : texts) result += last.find(text) == last.npos ? " -" : " +";
      return result;
    };
  }
  sim::OptimumPinPad pad;
  platform::FastClock clock{50};
};

TEST_F(CounterDesk, EveryServiceThroughThePublicClass) {
  Dictionary sale;  // a card payment's voucher under 11, a gift-card balance query's under 22
  sale.Add("Total", "125");
  sale.Add("process_type", "GCBalance");
  const Call notice = Print([&](auto& m) { return m.ImprimeVoucher(sale, "", 22); },
                            {"@cnn PARA ACLARACIONES LLAME SIN COSTO\r\n@cnn AL 800 123 4567 DE "
                             "LUNES A DOMINGO\r\n@cnn O ESCRIBA A aclaraciones@banco.mx\r\n@cnn "
                             "CONDUSEF: 55 5340 0999\r\n",
                             "ACLARACIONES", "CONDUSEF"});
  const std::string no_layout =
      "TOVALIX: La terminal no imprime el voucher de esta operación (sólo pago con tarjeta, "
      "tarjeta de regalo y corresponsal).";
  const std::vector<std::string> none;
  struct Row {
    const char* what;
    Call call;
    std::string result;
    std::vector<std::string> shown;
    std::size_t printed;
    bool contacts = false;
  };
  // clang-format off
  const Row rows[] = {
    {"sign-in", Pick([](auto& m) { return m.SesionCajero("12345678", "1234", kTrack2, "C"); }, {"status", "teller", "Phone"}),
     "status=1 teller=CAJERO SIMULADO Phone=5555555555", none, 0},
    {"log", Pick([](auto& m) { return m.RegistraBitacora(LogEntry()); }, {"status", "RFC"}),
     "status=1 RFC=AES010101AB1", none, 0},
    {"order", Pick([](auto& m) { return m.ConsultaRemesa("ORD-7"); }, {"status", "id_status"}),
     "status=ORDEN DISPONIBLE id_status=1", none, 0},
    {"payment", Pick([](auto& m) { return m.PagaRemesa("ORD-7", "", "G1", "", "", "", "", ""); }, {"response_code", "status"}),
     "response_code=1 status=ORDEN PAGADA", none, 0},
    {"PIN, port found now", Pick([](auto& m) { return m.AsignaNip("1234", kTrack1, kTrack2); }, {"error", "Description"}),
     "error= Description=ABARROTES LA ESPERANZA", none, 0},
    {"card voucher", Print([&](auto& m) { return m.ImprimeVoucher(sale, "", 11); }, {"$125.00"}),
     "1 +", none, 2},
    {"airtime voucher, no layout", Print([&](auto& m) { return m.ImprimeVoucher(sale, "", 2); }), "0", {no_layout}, 0},
    {"ticket", Print([](auto& m) { return m.ImprimeTicket("TIENDA", "D1", "D2", "D3", "555", "F-1", "53",
                                                        {"CAFE,2,15.5", "LECHE,1,22"}, {"EFECTIVO,53"}); },
                     {"@lnn CAFE\r\n", "@lnn LECHE\r\n", "@lnn EFECTIVO"}),
     "1 + + +", none, 1},
    {"notice configured", notice, "1 + + +", none, 1, true},
    {"notice not configured", notice, "1 - - -", none, 1},
    {"model without printer", Print([&](auto& m) {
       EXPECT_TRUE(terminal.Initialize("IPP320", "5", {{"param5", gateway.Url()}}));
       return m.ImprimeVoucher(sale, "", 11); }),
     "0", {"TOVALIX: La PinPad configurada (IPP320) no tiene impresora: no se imprimió nada."}, 0},
  };
  // clang-format on
  terminal.MapDevice("\\device\\Serial2", pad.PortPath());
  for (const Row& row : rows) {
    ASSERT_TRUE(terminal.Initialize("OPTIMUM", "5", {{"param5", gateway.Url()}}));
    const auto set = [&](const char* value) {
      return row.contacts ? std::optional<std::string>(value) : std::nullopt;
    };
    ScopedEnv phone("TOVALIX_CONTACT_PHONE", set("800 123 4567"));
    ScopedEnv email("TOVALIX_CONTACT_EMAIL", set("aclaraciones@banco.mx"));
    ScopedEnv authority("TOVALIX_CONDUSEF_PHONE", set("55 5340 0999"));
    op.shown.clear();
    const std::size_t before = pad.PrintRequests().size();
    tovalix::Mostrador mostrador(op);
    detail::MostradorAccess::UseClock(mostrador, clock);
    EXPECT_EQ(row.call(mostrador), row.result) << row.what;
    EXPECT_EQ(op.Texts(), row.shown) << row.what;
    EXPECT_EQ(pad.PrintRequests().size() - before, row.printed) << row.what;
  }
}

}  // namespace
}  // namespace tovalix
