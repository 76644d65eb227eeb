// PagoTarjeta's checks, in their order, against a terminal stored on disk.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <tovalix/cliente.hpp>

#include "platform/serial_port.hpp"
#include "serial/serial_link.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "sim/pinpad/scripted_pinpad.hpp"
#include "support/dictionary_text.hpp"
#include "support/nurit293_library.hpp"
#include "support/terminal_fixture.hpp"

namespace tovalix {
namespace {

using namespace testing;

struct Pago {
  std::int32_t store = 5;
  double amount = 100, tip = 0, total = 100;
  std::int16_t operation = 1;
  std::string authorization{};
  std::int32_t client_tx = 0, server_tx = 0;
  std::string deferment{}, payments{}, plan{};
};

class PaymentChecks : public ::testing::Test {
 protected:
  Dictionary Pay(const Pago& p) {
    Cliente cliente(op);
    return cliente.PagoTarjeta(p.store, p.amount, p.tip, p.total, 77, p.operation, p.authorization,
                               p.client_tx, p.server_tx, p.deferment, p.payments, p.plan);
  }

  TerminalFixture terminal;
  RecordingOperator op;
};

TEST_F(PaymentChecks, BeforeAnyInitializationEveryKeyIsThereInOrder) {
  EXPECT_EQ(testing::Text(Pay({.amount = 100.5, .tip = 0.5, .total = 101})),
            "ID_Store=5|Truncated=|Amount=100.5|Tip=0.5|Total=101|ID_Transaction=|ID_Tx=-3"
            "|Operation_Type=1|Authorization_Number=000000|Response_Message=Pin Pad mal "
            "inicializada (Kestrivo.exe). Llame al técnico.|Affiliation=|OperType=|CardType="
            "|IssuingBank=|ID_Terminal=|Description=|Address1=|Address2=|RFC=|Num_Sec="
            "|process_type=CDSaleCancel|Phone=|Servicio=");
  ASSERT_FALSE(op.shown.empty());  // after the settings' own box
  EXPECT_EQ(op.shown.back(),
            (ShownMessage{"TOVALIX : Pin Pad mal inicializada (Kestrivo.exe). Llame al técnico.",
                          Operator::kCritical, ""}));
}

TEST_F(PaymentChecks, APinPadHeldByAnotherSaleIsReportedBeforeAnyCardIsRead) {
  sim::ScriptedPinPad pad(sim::LengthFraming);
  ASSERT_TRUE(terminal.Initialize("IPP320", "5"));
  terminal.MapDevice("\\Device\\USBSER000", pad.PortPath());
  platform::FastClock clock{50};
  RecordingOperator holder_op;
  serial::SerialLink holder(holder_op, clock);  // the other sale, on its own open of the port
  holder.Abre(pad.PortPath());
  EXPECT_EQ(Pay({}).Item("Response_Message"), platform::kPinPadEnUso);
  ASSERT_EQ(op.shown.size(), 1u);
  EXPECT_NE(op.shown[0].text.find(platform::kPinPadEnUso), std::string::npos);
  EXPECT_TRUE(pad.Units().empty());
  holder.Cierra();  // and the port is free again
  EXPECT_NO_THROW(holder.Abre(pad.PortPath()));
}

// The checks of the stored settings and of the sent data, each row on a terminal stored anew.
// A value that passes meets a later failing check: the unknown store 5 in a list of 6 alone,
// or an invalid operation type once the store is found. The box is checked where given.
TEST_F(PaymentChecks, SettingsAndSentDataChecksInTheirOrder) {
  using Overrides = std::map<std::string, std::string>;
  const std::string store = "EL ID STORE QUE MANDO NO ES VALIDO.";
  const std::string operation = "El Operation_Type solo puede tener valor de 1,2 ó 3";
  const std::string read = "VALIDACION DE LOS DATOS LEIDOS DE LA PIN PAD";
  const std::string serial = "La longitud del No. Serie del Pinpad es incorrecto.";
  struct Box {
    int style;
    std::string title = "";
    std::string text = "";  // "TOVALIX: " and the message when empty
  };
  struct Row {
    std::string stores;
    Overrides overrides;
    Pago pago;
    std::string message;
    std::optional<Box> box;
    std::string model = "IPP320";
  };
  // clang-format off
  const Row rows[] = {
      // A model named in lower case has no ports to look on: only the lookup's own box.
      {"5", {}, {}, "La terminal no fué detectada. Verifique que este conectada.",
       Box{Operator::kPlain, "", "TOVALIX: No se pudo definir el puerto donde esta conectada la Pin Pad"}, "ipp320"},
      {"6", {{"param5", "https://pagos.example/gateway.asp"}}, {}, store, {}},
      {"6", {{"param5", "http://pagos.example/gateway.asp"}}, {}, "La dirección http://pagos.example/gateway.asp no es "
       "segura. Los datos de tarjeta, NIP y contraseñas sólo se envían por https. Llame al técnico.", Box{Operator::kPlain}},
      {"6", {{"param2", std::string(20, '7')}}, {}, store, {}},
      {"6", {{"param2", std::string(21, '7')}}, {}, serial, Box{Operator::kCritical, read}},
      {"6", {{"param3", "123456789"}}, {}, store, {}},
      {"6", {{"param3", "1234567890"}}, {}, "El número de terminal es máximo de 9 dígitos",
       Box{Operator::kCritical, read, "TOVALIX: El número de terminal es máximo de 9 dígitos."}},
      {"6", {{"param3", "12A4"}}, {}, "El número de terminal debe ser numérico.", {}},
      // The plan fields: blank or two digits.
      {"6", {}, {.deferment = "3"}, "La longitud del parámetro InitialDeferment es incorrecta, verifíquelo.", Box{Operator::kPlain}},
      {"6", {}, {.deferment = "03"}, store, {}},
      {"6", {}, {.deferment = "   "}, store, {}},
      {"6", {}, {.deferment = "3a"}, "El campo InitialDeferment solo debe traer números. Verifíquelo.", {}},
      {"6", {}, {.payments = "1x"}, "El campo NumberOfPayments solo debe traer números. Verifíquelo.", {}},
      {"6", {}, {.plan = "123"}, "La longitud del parámetro PlanType es incorrecta, verifíquelo.", {}},
      // The store must be in the stored list.
      {"5,17,230", {}, {.store = 5, .operation = 4}, operation, {}},
      {"5,17,230", {}, {.store = 17, .operation = 4}, operation, {}},
      {"5,17,230", {}, {.store = 230, .operation = 4}, operation, {}},
      {"5,17,230", {}, {.store = 23}, store, Box{Operator::kCritical}},
      // The amounts agree to the cent.
      {"5", {}, {.amount = 10.10, .tip = 0.20, .total = 10.30, .operation = 4}, operation, {}},
      {"5", {}, {.amount = 10.10, .tip = 0.20, .total = 10.31, .operation = 4},
       "El Total de la Compra reportado no coincide con la suma del Monto y la Propina.", {}},
      {"5", {}, {.operation = 4}, operation, {}},
      {"5", {}, {.tip = -1, .total = 99, .operation = 4}, "El Monto de la Propina no puede ser  menor  a cero.",
       Box{Operator::kCritical, "VALIDACION DE LOS DATOS ENVIADOS PARA SER OPERADOS"}},
      {"5", {}, {.amount = 0, .total = 0}, "El Monto del Cobro no puede ser menor o igual a cero.", {}},
      // The authorization, for cancellations only.
      {"5", {}, {.operation = 2, .authorization = "000000"}, "El Authorization Number no puede ser menor o igual a cero.",
       Box{Operator::kPlain}},
      {"5", {}, {.operation = 2, .authorization = "ABC"}, "No ingresó el AutorizationNumber para la Cancelación.", {}},
      {"5", {}, {.authorization = "123456"}, "Solo en cancelaciones se debe llenar el Authorization Number.", {}},
      // A verification needs a transaction id before the PIN pad data are checked.
      {"5", {{"param2", std::string(25, '1')}}, {.operation = 3},
       "Para la Verificación debe ingresar por lo menos un ID Transacción en los parámetros de entrada.", {}},
      {"5", {{"param2", std::string(25, '1')}}, {.operation = 3, .client_tx = 9}, serial, {}},
  };
  // clang-format on
  terminal.MapDevice("\\Device\\USBSER000", "/dev/null-pinpad");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    ASSERT_TRUE(terminal.Initialize(row.model, row.stores, row.overrides));
    op.shown.clear();
    EXPECT_EQ(Pay(row.pago).Item("Response_Message"), row.message);
    ASSERT_EQ(op.shown.size(), 1u);
    if (row.box) {
      const std::string text = row.box->text.empty() ? "TOVALIX: " + row.message : row.box->text;
      EXPECT_EQ(op.shown[0], (ShownMessage{text, row.box->style, row.box->title}));
    }
  }
}

// A host's double is the whole centavo it stands for, or it never leaves the till: refused in
// the stage of the sent data before any PIN pad or gateway traffic. The Nurit 293 sells
// through the simulated vendor library, so an accepted sale reaches the gateway.
TEST_F(PaymentChecks, HostAmountsAreExactCentavosOrAreRefusedBeforeAnyTraffic) {
  const ScopedEnv library("TOVALIX_NURIT293_LIB", testing::Module("tovalix_nurit293_sim"));
  const double inf = std::numeric_limits<double>::infinity();
  const std::string no_es = " no es un importe válido: ";
  struct Caso {
    const char* tipo;
    double amount, tip, total;
    std::string expected;  // Amount, tip and total as the gateway got them, or the refusal
  };
  const Caso casos[] = {
      {"NURIT293", 10.1 * 3, 0.2, 30.5, "30.3 0.2 30.5"},
      {"NURIT293", 1e20, 2e20, 3e20,
       "El Monto del Cobro 1E+20" + no_es + "excede lo que la PIN pad puede recibir."},
      {"IPP320", 10.004, 0, 10, "El Monto del Cobro 10.004" + no_es + "tiene fracción de centavo."},
      {"IPP320", std::nan(""), 0, 10, "El Monto del Cobro NAN" + no_es + "no es un número finito."},
      {"IPP320", 10, -inf, 10, "El Monto de la Propina -INF" + no_es + "no es un número finito."},
      {"IPP320", 10, 0, 1e300,
       "El Importe Total de la Compra 1E+300" + no_es + "excede lo que la PIN pad puede recibir."},
      {"Vx810", 42949673, 0, 42949673,
       "El Monto del Cobro 42949673" + no_es + "excede lo que la PIN pad puede recibir."},
      {"OPTIMUM", 10, 0.5, 10.5,
       "El Monto de la Propina 0.5" + no_es +
           "tiene centavos y la PIN pad solo recibe pesos enteros."},
  };
  terminal.MapDevice("\\Device\\USBSER000", "/dev/null-pinpad");
  terminal.MapDevice("\\Device\\Serial2", "/dev/null-pinpad");
  for (const Caso& c : casos) {
    SCOPED_TRACE(std::string(c.tipo) + " " + std::to_string(c.amount));
    sim::GatewaySimulator gateway;
    ASSERT_TRUE(terminal.Initialize(c.tipo, "5", {{"param5", gateway.Url()}}));
    op.shown.clear();
    const std::string message =
        Pay({.amount = c.amount, .tip = c.tip, .total = c.total}).Item("Response_Message");
    if (gateway.RequestCount() == 1) {
      const sim::GatewayRequest sent = gateway.Requests()[0];
      EXPECT_EQ(sent.Value("Amount") + " " + sent.Value("tip") + " " + sent.Value("total"),
                c.expected);
      continue;
    }
    EXPECT_EQ(message, c.expected);
    EXPECT_EQ(op.shown, (std::vector<ShownMessage>{{"TOVALIX: " + c.expected, Operator::kCritical,
                                                    "VALIDACION DE LOS DATOS ENVIADOS PARA SER "
                                                    "OPERADOS"}}));
  }
}

}  // namespace
}  // namespace tovalix
