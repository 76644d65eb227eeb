// InicializaPinPad against the gateway simulator. A terminal without a PIN pad ("NINGUNA")
// takes its serial number from the host, so these cases need no device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <tovalix/cliente.hpp>

#include <optional>

#include "control/address_lines.hpp"
#include "settings/store.hpp"
#include "sim/gateway/gateway_simulator.hpp"
#include "support/terminal_fixture.hpp"

namespace tovalix {
namespace {

using testing::RecordingOperator;
using testing::ScopedEnv;
using testing::TerminalFixture;

class Initialization : public ::testing::Test {
 protected:
  Initialization() : gateway_url_("TOVALIX_GATEWAY_URL", gateway.Url()) {}

  std::int16_t Init(const std::string& store, const std::string& tipo, const std::string& serie,
                    const std::string& user = "ta_user") {
    Cliente cliente(op);
    return cliente.InicializaPinPad(store, 4321, tipo, serie, user, "ta_pwd");
  }
  bool Load(settings::Parametros& p) {
    RecordingOperator quiet;
    return settings::CargaParametros(p, quiet);
  }

  TerminalFixture terminal;
  sim::GatewaySimulator gateway;
  ScopedEnv gateway_url_;
  RecordingOperator op;
};

// A store list is stored whole while the gateway hears its first store.
TEST_F(Initialization, ATerminalWithoutPinPadIsStoredWithTheGatewaysData) {
  ASSERT_EQ(Init("5,17", "NINGUNA", "SER-001"), 1);
  EXPECT_TRUE(op.shown.empty());
  ASSERT_EQ(gateway.RequestCount(), 1u);
  const sim::GatewayRequest request = gateway.Requests()[0];
  EXPECT_EQ(request.Names(),
            (std::vector<std::string>{"Id_Store", "serial", "ptid", "process_type"}));
  EXPECT_EQ(request.Value("Id_Store") + "|" + request.Value("serial") + "|" + request.Value("ptid"),
            "5|SER-001|4321");
  settings::Parametros p;
  ASSERT_TRUE(Load(p));
  EXPECT_EQ(p.UrlGateway, gateway.Url());
  EXPECT_EQ(p.IdStore + "|" + p.Serie + "|" + p.PTid + "|" + p.Tipo + "|" + p.Descripcion + "|" +
                p.Direccion1 + "|" + p.Direccion2 + "|" + p.Direccion3 + "|" + p.Telefono + "|" +
                p.TimeOutCreditDebit + "|" + p.TimeOutPinpadConfig + "|" + p.UserTA,
            "5,17|SER-001|4321|NINGUNA|TIENDA SIMULADA|AV. REFORMA 100 2|"
            "CENTRO CUAUHTEMOC CP.06000|CIUDAD DE MEXICO,CDMX|5555555555|55|30|ta_user");
}

// Every refusal leaves the terminal erased, its parameters stored before: nothing loads.
TEST_F(Initialization, RefusalsLeaveTheTerminalErased) {
  const std::string unsafe =
      " no es segura. Los datos de tarjeta, NIP y contraseñas sólo se "
      "envían por https. Llame al técnico.";
  struct Case {
    const char *store, *tipo, *serie;
    std::pair<const char*, const char*> env;  // a deployment value changed
    std::vector<std::pair<const char*, const char*>> answer;
    std::string message;  // "" for none
  };
  // clang-format off
  const Case cases[] = {
      {"5", "ipp320", "", {}, {}, "El tipo de terminal no es válido. Verifique su información."},
      {"5", "NINGUNA", "  ", {}, {}, ""},
      {" ", "NINGUNA", "SER", {}, {},
       "Inicialización Cancelada. El parámetro ID Store no puede venir vacío."},
      {"5", "NINGUNA", "SER", {"TOVALIX_GATEWAY_URL", "http://pagos.example/g"}, {},
       "La dirección http://pagos.example/g" + unsafe},
      {"5", "NINGUNA", "SER", {"TOVALIX_AIRTIME_URL", "http://ta.example/TelcoWS"}, {},
       "La dirección http://ta.example/TelcoWS" + unsafe},
      {"5", "NINGUNA", "SER", {}, {{"timeOut_pinpadConfig", ""}},
       "Problemas para obtener El Tiempo de Respuesta de la Configuración"},
      {"5", "NINGUNA", "SER", {}, {{"id_error", "17"},
       {"response_message", "DISPOSITIVO NO EXISTE O ESTA INACTIVO"}},
       "No dió de Alta el Número de Serie"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ASSERT_TRUE(terminal.Initialize("IPP320", "5"));
    op.shown.clear();
    gateway.SetScript([&c](const sim::GatewayRequest&, sim::GatewayAnswer& a) {
      for (const auto& [name, value] : c.answer) a.Set(name, value);
    });
    std::optional<ScopedEnv> env;
    if (c.env.first) env.emplace(c.env.first, c.env.second);
    const std::size_t posted = gateway.RequestCount();
    EXPECT_EQ(Init(c.store, c.tipo, c.serie), 0);
    EXPECT_EQ(gateway.RequestCount() - posted, c.answer.empty() ? 0u : 1u);
    ASSERT_EQ(op.shown.empty(), c.message.empty());
    if (!c.message.empty()) {
      EXPECT_THAT(op.shown.back().text, ::testing::HasSubstr(c.message));
    }
    settings::Parametros p;
    EXPECT_FALSE(Load(p));
  }
}

TEST_F(Initialization, AMissingResponseTimeStopsHalfWayAndTheLoaderSaysSo) {
  gateway.SetScript(
      [](const sim::GatewayRequest&, sim::GatewayAnswer& a) { a.Set("timeOut_telco", ""); });
  EXPECT_EQ(Init("5", "NINGUNA", "SER-001"), 0);
  ASSERT_EQ(op.shown.size(), 1u);
  EXPECT_EQ(op.shown[0].text,
            "TOVALIX: Problemas para obtener El Tiempo de Respuesta de su Aplicación");

  RecordingOperator loader;
  settings::Parametros p;
  EXPECT_FALSE(settings::CargaParametros(p, loader));
  ASSERT_EQ(loader.shown.size(), 1u);
  EXPECT_EQ(loader.shown[0].text,
            "TOVALIX: No se cuenta con el Tiempo de respuesta de su aplicación. Inicialice "
            "nuevamente para obtenerlo.");

  // The parameters written before the time-outs are there: a new load after storing the
  // missing ones would succeed with them.
  RecordingOperator quiet;
  for (const char* param : {"param20", "param21", "param24"}) {
    ASSERT_TRUE(settings::GuardaParametro(param, "40", quiet));
  }
  EXPECT_TRUE(settings::CargaParametros(p, quiet));
  // The third address line is written only after the time-outs.
  EXPECT_EQ(p.Serie + "|" + p.Direccion2 + "|" + p.Direccion3,
            "SER-001|CENTRO CUAUHTEMOC CP.06000|");
}

TEST_F(Initialization, TimeOutsPastTheirLimitsAreStoredAsGivenAndReported) {
  gateway.SetScript([](const sim::GatewayRequest&, sim::GatewayAnswer& a) {
    a.Set("timeOut_telco", "0").Set("timeOut_credit_debit", "abc").Set("timeOut_orex", "");
    a.Set("timeOut_cashback", "2147483");
  });
  ASSERT_EQ(Init("5", "NINGUNA", "SER-001"), 1);
  const std::string report =
      "TOVALIX: El gateway entregó tiempos de respuesta fuera de los límites de 1 a 120 segundos; "
      "se usará un tiempo acotado en su lugar: timeOut_telco \"0\", timeOut_credit_debit \"abc\", "
      "timeOut_cashback \"2147483\"";
  EXPECT_THAT(op.Texts(), ::testing::ElementsAre(report));
  EXPECT_NE(terminal.LogText().find(report), std::string::npos);
  settings::Parametros p;
  ASSERT_TRUE(Load(p));
  EXPECT_EQ(p.TimeOutTelco, "0");
}

TEST(AddressLines, OnlyEntriesThatAreThereCount) {
  Dictionary d;
  // clang-format off
  for (const auto& [key, value] : {std::pair{"m_street", "AV. JUAREZ"}, {"m_number", "12"},
       {"m_interior", ""}, {"m_colony", ""}, {"m_municipality", "COYOACAN"}, {"m_zip_code", "04000"},
       {"m_city", "CDMX"}, {"m_state", "CIUDAD DE MEXICO"}}) {
    d.Add(key, value);
  }
  // clang-format on
  EXPECT_EQ(control::PrimeraLineaDireccion(d), "AV. JUAREZ 12");
  EXPECT_EQ(control::SegundaLineaDireccion(d), " COYOACAN CP.04000");
  EXPECT_EQ(control::TerceraLineaDireccion(d), "CDMX,CIUDAD DE MEXICO");
  d.Set("m_zip_code", "00000");
  d.Set("m_city", "");
  EXPECT_EQ(control::SegundaLineaDireccion(d), " COYOACAN");
  EXPECT_EQ(control::TerceraLineaDireccion(d), "CIUDAD DE MEXICO");
}

}  // namespace
}  // namespace tovalix
