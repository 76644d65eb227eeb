// PagoTarjeta's checks, in their order, against a terminal stored on disk.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <tovalix/cliente.hpp>

#include "platform/serial_port.hpp"
#include "serial/serial_link.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "sim/pinpad/scripted_pinpad.hpp"
#include "support/terminal_fixture.hpp"

namespace tovalix {
namespace {

using testing::RecordingOperator;
using testing::ScopedEnv;
using testing::ShownMessage;
using testing::TerminalFixture;

const std::vector<std::string> kFirstKeys = {"ID_Store",
                                             "Truncated",
                                             "Amount",
                                             "Tip",
                                             "Total",
                                             "ID_Transaction",
                                             "ID_Tx",
                                             "Operation_Type",
                                             "Authorization_Number",
                                             "Response_Message",
                                             "Affiliation",
                                             "OperType",
                                             "CardType",
                                             "IssuingBank",
                                             "ID_Terminal",
                                             "Description",
                                             "Address1",
                                             "Address2",
                                             "RFC",
                                             "Num_Sec",
                                             "process_type",
                                             "Phone",
                                             "Servicio"};

struct Pago {
  std::int32_t store = 5;
  double amount = 100, tip = 0, total = 100;
  std::int16_t operation = 1;
  std::string authorization;
  std::int32_t client_tx = 0, server_tx = 0;
  std::string deferment, payments, plan;
};

class PaymentChecks : public ::testing::Test {
 protected:
  Dictionary Pay(const Pago& p) {
    Cliente cliente(op);
    return cliente.PagoTarjeta(p.store, p.amount, p.tip, p.total, 77, p.operation, p.authorization,
                               p.client_tx, p.server_tx, p.deferment, p.payments, p.plan);
  }
  // Stores an iPP320 terminal found on a port, with the given stores and overrides.
  void Terminal(const std::string& stores = "5",
                const std::map<std::string, std::string>& overrides = {}) {
    ASSERT_TRUE(terminal.Initialize("IPP320", stores, overrides));
    terminal.MapDevice("\\Device\\USBSER000", "/dev/null-pinpad");
  }
  std::string MessageOf(const Pago& p) { return Pay(p).Item("Response_Message"); }

  TerminalFixture terminal;
  RecordingOperator op;
};

TEST_F(PaymentChecks, BeforeAnyInitializationEveryKeyIsThereInOrder) {
  const Dictionary r = Pay({});
  EXPECT_EQ(r.Keys(), kFirstKeys);
  EXPECT_EQ(r.Item("Response_Message"),
            "Pin Pad mal inicializada (Kestrivo.exe). Llame al técnico.");
  EXPECT_EQ(r.Item("ID_Tx"), "-3");
  EXPECT_EQ(r.Item("Authorization_Number"), "000000");
  EXPECT_EQ(r.Item("Amount"), "100");
  ASSERT_FALSE(op.shown.empty());
  EXPECT_EQ(op.shown.back(),
            (ShownMessage{"TOVALIX : Pin Pad mal inicializada (Kestrivo.exe). Llame al técnico.",
                          Operator::kCritical, ""}));
}

TEST_F(PaymentChecks, NoPortFoundIsReportedWithoutABoxOfItsOwn) {
  ASSERT_TRUE(terminal.Initialize("IPP320", "5"));
  const Dictionary r = Pay({});
  EXPECT_EQ(r.Item("Response_Message"),
            "La terminal no fué detectada. Verifique que este conectada.");
  EXPECT_EQ(r.Keys(), kFirstKeys);
  // Only the port lookup's own message was shown.
  ASSERT_EQ(op.shown.size(), 1u);
  EXPECT_EQ(op.shown[0].text,
            "TOVALIX: No se pudo definir el puerto donde esta conectada la Pin Pad");
}

TEST_F(PaymentChecks, APinPadHeldByAnotherSaleIsReportedBeforeAnyCardIsRead) {
  sim::ScriptedPinPad pad(sim::LengthFraming);
  ASSERT_TRUE(terminal.Initialize("IPP320", "5"));
  terminal.MapDevice("\\Device\\USBSER000", pad.PortPath());
  platform::FastClock clock{50};
  RecordingOperator holder_op;
  serial::SerialLink holder(holder_op, clock);  // the other sale, on its own open of the port
  holder.Abre(pad.PortPath());
  const Dictionary r = Pay({});
  EXPECT_EQ(r.Item("Response_Message"), platform::kPinPadEnUso);
  EXPECT_EQ(r.Item("ID_Tx"), "-3");
  ASSERT_EQ(op.shown.size(), 1u);
  EXPECT_NE(op.shown[0].text.find(platform::kPinPadEnUso), std::string::npos);
  EXPECT_TRUE(pad.Units().empty());
  holder.Cierra();  // and the port is free again
  serial::SerialLink next(holder_op, clock);
  EXPECT_NO_THROW(next.Abre(pad.PortPath()));
}

TEST_F(PaymentChecks, ALowerCaseModelNeverReachesASale) {
  ASSERT_TRUE(terminal.Initialize("ipp320", "5"));
  terminal.MapDevice("\\Device\\USBSER000", "/dev/null-pinpad");
  EXPECT_EQ(MessageOf({}), "La terminal no fué detectada. Verifique que este conectada.");
}

TEST_F(PaymentChecks, StoredGatewaySerialAndTerminalNumberLimits) {
  // Each case pairs the value under test with a later failing check (an unknown store), so a
  // value that passes shows the store message and one that fails shows its own.
  const std::string store_message = "EL ID STORE QUE MANDO NO ES VALIDO.";
  Terminal("6", {{"param5", "https://pagos.example/gateway.asp"}});
  EXPECT_EQ(MessageOf({}), store_message);
  Terminal("6", {{"param5", "http://pagos.example/gateway.asp"}});
  const std::string refusal =
      "La dirección http://pagos.example/gateway.asp no es segura. Los datos de tarjeta, NIP y "
      "contraseñas sólo se envían por https. Llame al técnico.";
  EXPECT_EQ(MessageOf({}), refusal);
  EXPECT_EQ(op.shown.back(), (ShownMessage{"TOVALIX: " + refusal, Operator::kPlain, ""}));
  Terminal("6", {{"param2", std::string(20, '7')}});
  EXPECT_EQ(MessageOf({}), store_message);
  Terminal("6", {{"param2", std::string(21, '7')}});
  EXPECT_EQ(MessageOf({}), "La longitud del No. Serie del Pinpad es incorrecto.");
  EXPECT_EQ(op.shown.back(),
            (ShownMessage{"TOVALIX: La longitud del No. Serie del Pinpad es incorrecto.",
                          Operator::kCritical, "VALIDACION DE LOS DATOS LEIDOS DE LA PIN PAD"}));
  Terminal("6", {{"param3", "123456789"}});
  EXPECT_EQ(MessageOf({}), store_message);
  Terminal("6", {{"param3", "1234567890"}});
  EXPECT_EQ(MessageOf({}), "El número de terminal es máximo de 9 dígitos");
  EXPECT_EQ(op.shown.back().text, "TOVALIX: El número de terminal es máximo de 9 dígitos.");
  Terminal("6", {{"param3", "12A4"}});
  EXPECT_EQ(MessageOf({}), "El número de terminal debe ser numérico.");
}

TEST_F(PaymentChecks, PlanFieldsAreBlankOrTwoDigits) {
  Terminal("6");
  const std::string passes = "EL ID STORE QUE MANDO NO ES VALIDO.";
  Pago p;
  p.deferment = "3";
  EXPECT_EQ(MessageOf(p), "La longitud del parámetro InitialDeferment es incorrecta, verifíquelo.");
  EXPECT_EQ(op.shown.back(),
            (ShownMessage{"TOVALIX: La longitud del parámetro InitialDeferment es incorrecta, "
                          "verifíquelo.",
                          Operator::kPlain, ""}));
  p.deferment = "03";
  EXPECT_EQ(MessageOf(p), passes);
  p.deferment = "   ";
  EXPECT_EQ(MessageOf(p), passes);
  p.deferment = "3a";
  EXPECT_EQ(MessageOf(p), "El campo InitialDeferment solo debe traer números. Verifíquelo.");
  p = {};
  p.payments = "1x";
  EXPECT_EQ(MessageOf(p), "El campo NumberOfPayments solo debe traer números. Verifíquelo.");
  p = {};
  p.plan = "123";
  EXPECT_EQ(MessageOf(p), "La longitud del parámetro PlanType es incorrecta, verifíquelo.");
}

TEST_F(PaymentChecks, StoreMustBeInTheStoredList) {
  Terminal("5,17,230");
  // A store of the list passes on to the amount checks (an invalid operation type here).
  const std::string passes = "El Operation_Type solo puede tener valor de 1,2 ó 3";
  for (const std::int32_t store : {5, 17, 230}) {
    Pago p;
    p.store = store;
    p.operation = 4;
    EXPECT_EQ(MessageOf(p), passes) << store;
  }
  Pago p;
  p.store = 23;
  EXPECT_EQ(MessageOf(p), "EL ID STORE QUE MANDO NO ES VALIDO.");
  EXPECT_EQ(op.shown.back(), (ShownMessage{"TOVALIX: EL ID STORE QUE MANDO NO ES VALIDO.",
                                           Operator::kCritical, ""}));
}

TEST_F(PaymentChecks, AmountsAgreeToTheCent) {
  Terminal();
  const std::string passes = "El Operation_Type solo puede tener valor de 1,2 ó 3";
  Pago p;
  p.operation = 4;
  p.amount = 10.10, p.tip = 0.20, p.total = 10.30;
  EXPECT_EQ(MessageOf(p), passes);
  p.amount = 10.10, p.tip = 0.20, p.total = 10.31;
  EXPECT_EQ(MessageOf(p),
            "El Total de la Compra reportado no coincide con la suma del Monto y la Propina.");
  p.amount = 100, p.tip = 0, p.total = 100;
  EXPECT_EQ(MessageOf(p), passes);
  p.tip = -1, p.total = 99;
  EXPECT_EQ(MessageOf(p), "El Monto de la Propina no puede ser  menor  a cero.");
  EXPECT_EQ(op.shown.back().title, "VALIDACION DE LOS DATOS ENVIADOS PARA SER OPERADOS");
  p = {};
  p.amount = 0, p.total = 0;
  EXPECT_EQ(MessageOf(p), "El Monto del Cobro no puede ser menor o igual a cero.");
}

// A host's double is the whole centavo it stands for, or it never leaves the till: refused in
// the stage of the sent data before any PIN pad or gateway traffic. The Nurit 293 sells
// through the simulated vendor library, so an accepted sale reaches the gateway.
TEST_F(PaymentChecks, HostAmountsAreExactCentavosOrAreRefusedBeforeAnyTraffic) {
  const char* build = std::getenv("TOVALIX_BUILD_DIR");
#ifdef _WIN32
  const char* module = "/lib/tovalix_nurit293_sim.dll";
#else
  const char* module = "/lib/libtovalix_nurit293_sim.so";
#endif
  const ScopedEnv library("TOVALIX_NURIT293_LIB",
                          std::string(build != nullptr ? build : ".") + module);
  const double inf = std::numeric_limits<double>::infinity();
  const std::string no_es = " no es un importe válido: ";
  struct Caso {
    const char* tipo;
    double amount, tip, total;
    std::string sent;     // Amount, tip and total as the gateway got them
    std::string refused;  // or the refusal
  };
  const Caso casos[] = {
      {"NURIT293", 150.5, 0, 150.5, "150.5 0 150.5", ""},
      {"NURIT293", 10.1 * 3, 0.2, 30.5, "30.3 0.2 30.5", ""},
      {"NURIT293", 1e20, 2e20, 3e20, "",
       "El Monto del Cobro 1E+20" + no_es + "excede lo que la PIN pad puede recibir."},
      {"IPP320", 10.004, 0, 10, "",
       "El Monto del Cobro 10.004" + no_es + "tiene fracción de centavo."},
      {"IPP320", 1.005, 0, 1.00, "",
       "El Monto del Cobro 1.005" + no_es + "tiene fracción de centavo."},
      {"IPP320", std::nan(""), 0, 10, "",
       "El Monto del Cobro NAN" + no_es + "no es un número finito."},
      {"IPP320", 10, -inf, 10, "",
       "El Monto de la Propina -INF" + no_es + "no es un número finito."},
      {"IPP320", 10, 0, 1e300, "",
       "El Importe Total de la Compra 1E+300" + no_es + "excede lo que la PIN pad puede recibir."},
      {"Vx810", 42949673, 0, 42949673, "",
       "El Monto del Cobro 42949673" + no_es + "excede lo que la PIN pad puede recibir."},
      {"OPTIMUM", 10, 0.5, 10.5, "",
       "El Monto de la Propina 0.5" + no_es +
           "tiene centavos y la PIN pad solo recibe pesos enteros."},
      // A plain amount keeps its own message.
      {"IPP320", -10, 0, -10, "", "El Monto del Cobro no puede ser menor o igual a cero."},
  };
  terminal.MapDevice("\\Device\\USBSER000", "/dev/null-pinpad");
  terminal.MapDevice("\\Device\\Serial2", "/dev/null-pinpad");
  for (const Caso& c : casos) {
    SCOPED_TRACE(std::string(c.tipo) + " " + std::to_string(c.amount));
    sim::GatewaySimulator gateway;
    ASSERT_TRUE(terminal.Initialize(c.tipo, "5", {{"param5", gateway.Url()}}));
    op.shown.clear();
    Pago p;
    p.amount = c.amount, p.tip = c.tip, p.total = c.total;
    const Dictionary r = Pay(p);
    if (c.refused.empty()) {
      ASSERT_EQ(gateway.RequestCount(), 1u) << r.Item("Response_Message");
      const sim::GatewayRequest sent = gateway.Requests()[0];
      EXPECT_EQ(sent.Value("Amount") + " " + sent.Value("tip") + " " + sent.Value("total"), c.sent);
      continue;
    }
    EXPECT_EQ(r.Item("Response_Message"), c.refused);
    EXPECT_EQ(r.Item("ID_Tx"), "-3");
    EXPECT_EQ(gateway.RequestCount(), 0u);
    ASSERT_EQ(op.shown.size(), 1u);
    EXPECT_EQ(op.shown[0], (ShownMessage{"TOVALIX: " + c.refused, Operator::kCritical,
                                         "VALIDACION DE LOS DATOS ENVIADOS PARA SER OPERADOS"}));
  }
}

TEST_F(PaymentChecks, AuthorizationOnlyForCancellations) {
  Terminal();
  Pago p;
  p.operation = 2;
  p.authorization = "000000";
  EXPECT_EQ(MessageOf(p), "El Authorization Number no puede ser menor o igual a cero.");
  EXPECT_EQ(op.shown.back().style, Operator::kPlain);
  p.authorization = "ABC";
  EXPECT_EQ(MessageOf(p), "No ingresó el AutorizationNumber para la Cancelación.");
  p.operation = 1;
  p.authorization = "123456";
  EXPECT_EQ(MessageOf(p), "Solo en cancelaciones se debe llenar el Authorization Number.");
}

TEST_F(PaymentChecks, VerificationNeedsATransactionIdBeforePinPadData) {
  Terminal("5", {{"param2", std::string(25, '1')}});
  Pago p;
  p.operation = 3;
  EXPECT_EQ(MessageOf(p),
            "Para la Verificación debe ingresar por lo menos un ID Transacción en los "
            "parámetros de entrada.");
  p.client_tx = 9;
  EXPECT_EQ(MessageOf(p), "La longitud del No. Serie del Pinpad es incorrecto.");
}

}  // namespace
}  // namespace tovalix
