// InicializaPinPad against the gateway simulator. A terminal without a PIN pad ("NINGUNA")
// takes its serial number from the host, so these cases need no device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <tovalix/cliente.hpp>

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

TEST_F(Initialization, ATerminalWithoutPinPadIsStoredWithTheGatewaysData) {
  ASSERT_EQ(Init("5", "NINGUNA", "SER-001"), 1);
  EXPECT_TRUE(op.shown.empty());
  ASSERT_EQ(gateway.RequestCount(), 1u);
  const sim::GatewayRequest request = gateway.Requests()[0];
  EXPECT_EQ(request.Names(),
            (std::vector<std::string>{"Id_Store", "serial", "ptid", "process_type"}));
  EXPECT_EQ(request.Value("serial"), "SER-001");
  EXPECT_EQ(request.Value("ptid"), "4321");

  settings::Parametros p;
  ASSERT_TRUE(Load(p));
  EXPECT_EQ(p.IdStore, "5");
  EXPECT_EQ(p.Serie, "SER-001");
  EXPECT_EQ(p.PTid, "4321");
  EXPECT_EQ(p.Tipo, "NINGUNA");
  EXPECT_EQ(p.UrlGateway, gateway.Url());
  EXPECT_EQ(p.Descripcion, "TIENDA SIMULADA");
  EXPECT_EQ(p.Direccion1, "AV. REFORMA 100 2");
  EXPECT_EQ(p.Direccion2, "CENTRO CUAUHTEMOC CP.06000");
  EXPECT_EQ(p.Direccion3, "CIUDAD DE MEXICO,CDMX");
  EXPECT_EQ(p.Telefono, "5555555555");
  EXPECT_EQ(p.TimeOutCreditDebit, "55");
  EXPECT_EQ(p.TimeOutPinpadConfig, "30");
  EXPECT_EQ(p.UserTA, "ta_user");
}

TEST_F(Initialization, AStoreListIsStoredWhileTheGatewayHearsItsFirstStore) {
  ASSERT_EQ(Init("5,17", "NINGUNA", "SER-001"), 1);
  EXPECT_EQ(gateway.Requests().at(0).Value("Id_Store"), "5");
  settings::Parametros p;
  ASSERT_TRUE(Load(p));
  EXPECT_EQ(p.IdStore, "5,17");
}

TEST_F(Initialization, RefusalsLeaveTheTerminalErased) {
  ASSERT_TRUE(terminal.Initialize("IPP320", "5"));
  // A model written in lower case.
  EXPECT_EQ(Init("5", "ipp320", ""), 0);
  ASSERT_EQ(op.shown.size(), 1u);
  EXPECT_EQ(op.shown[0].text,
            "TOVALIX: El tipo de terminal no es válido. Verifique su información.");
  settings::Parametros p;
  EXPECT_FALSE(Load(p));
  // No PIN pad and no serial number: nothing to say, nothing stored, nothing sent.
  op.shown.clear();
  ASSERT_TRUE(terminal.Initialize("IPP320", "5"));
  EXPECT_EQ(Init("5", "NINGUNA", "  "), 0);
  EXPECT_TRUE(op.shown.empty());
  EXPECT_EQ(gateway.RequestCount(), 0u);
  EXPECT_FALSE(Load(p));
  EXPECT_EQ(p.IdStore, "");
  // An empty store.
  EXPECT_EQ(Init(" ", "NINGUNA", "SER"), 0);
  EXPECT_EQ(op.shown.back().text,
            "TOVALIX: Inicialización Cancelada. El parámetro ID Store no puede venir vacío.");
  // Plain http to another machine, for the gateway or for the airtime service.
  for (const auto& [name, url] : {std::pair{"TOVALIX_GATEWAY_URL", "http://pagos.example/g"},
                                  std::pair{"TOVALIX_AIRTIME_URL", "http://ta.example/TelcoWS"}}) {
    ScopedEnv unsafe(name, url);
    EXPECT_EQ(Init("5", "NINGUNA", "SER"), 0);
    EXPECT_EQ(op.shown.back().text, "TOVALIX: La dirección " + std::string(url) +
                                        " no es segura. Los datos de tarjeta, NIP y contraseñas "
                                        "sólo se envían por https. Llame al técnico.");
  }
  EXPECT_EQ(gateway.RequestCount(), 0u);
  // The gateway does not know the terminal.
  gateway.SetScript([](const sim::GatewayRequest&, sim::GatewayAnswer& a) {
    a.Set("id_error", "17").Set("response_message", "DISPOSITIVO NO EXISTE O ESTA INACTIVO");
  });
  EXPECT_EQ(Init("5", "NINGUNA", "SER"), 0);
  EXPECT_NE(op.shown.back().text.find("No dió de Alta el Número de Serie"), std::string::npos);
  EXPECT_FALSE(Load(p));
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
  ASSERT_TRUE(settings::GuardaParametro("param20", "40", quiet));
  ASSERT_TRUE(settings::GuardaParametro("param21", "55", quiet));
  ASSERT_TRUE(settings::GuardaParametro("param24", "30", quiet));
  EXPECT_TRUE(settings::CargaParametros(p, quiet));
  EXPECT_EQ(p.Serie, "SER-001");
  EXPECT_EQ(p.Direccion2, "CENTRO CUAUHTEMOC CP.06000");
  EXPECT_EQ(p.Direccion3, "");  // written only after the time-outs
}

TEST_F(Initialization, AMissingConfigurationTimeHasItsOwnMessage) {
  gateway.SetScript(
      [](const sim::GatewayRequest&, sim::GatewayAnswer& a) { a.Set("timeOut_pinpadConfig", ""); });
  EXPECT_EQ(Init("5", "NINGUNA", "SER-001"), 0);
  EXPECT_EQ(op.shown.back().text,
            "TOVALIX: Problemas para obtener El Tiempo de Respuesta de la Configuración");
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
  d.Add("m_street", "AV. JUAREZ");
  d.Add("m_number", "12");
  d.Add("m_interior", "");
  d.Add("m_colony", "");
  d.Add("m_municipality", "COYOACAN");
  d.Add("m_zip_code", "04000");
  d.Add("m_city", "CDMX");
  d.Add("m_state", "CIUDAD DE MEXICO");
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
