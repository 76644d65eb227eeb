// InicializaPinPad: erases the stored terminal, reads the PIN pad's serial number, checks the
// terminal with the gateway and, only when the gateway accepts it, stores its parameters.
#include <tovalix/cliente.hpp>

#include <string>
#include <utility>
#include <vector>

#include "common/deployment.hpp"
#include "common/error_report.hpp"
#include "common/number_text.hpp"
#include "common/text_encoding.hpp"
#include "control/address_lines.hpp"
#include "control/cliente_state.hpp"
#include "control/configura_pinpad.hpp"
#include "drivers/models.hpp"
#include "gateway/prueba_config_pin_pad.hpp"
#include "gateway/timeout.hpp"
#include "platform/safe_address.hpp"
#include "settings/store.hpp"

namespace tovalix {
namespace {

constexpr const char* kTiempoConfiguracion = "55";  // seconds the configuration test may take

// A store list ("5,17,230") is what the payments check against; the gateway registers the
// terminal under its first store.
std::string PrimeraTienda(const std::string& tiendas) {
  return tiendas.substr(0, tiendas.find(','));
}

// The gateway's name of each stored time-out.
constexpr std::pair<const char*, const char*> kTiemposGuardados[] = {
    {"param20", "timeOut_telco"},        {"param21", "timeOut_credit_debit"},
    {"param22", "timeOut_orex"},         {"param23", "timeOut_corresponsal"},
    {"param24", "timeOut_pinpadConfig"}, {"param25", "timeOut_giftCard"},
    {"param26", "timeOut_cashback"}};

// The stored time-outs that will not be used as they stand (0, negative, fractional, not a
// number, above 120 s), each as `name "value"`; empty ones are allowed and left out.
std::string TiemposAcotados(const std::vector<std::pair<std::string, std::string>>& valores) {
  std::string lista;
  for (const auto& [clave, valor] : valores) {
    for (const auto& [parametro, nombre] : kTiemposGuardados) {
      if (clave != parametro || valor.empty() || gateway::TiempoUtilizable(valor)) continue;
      if (!lista.empty()) lista += ", ";
      lista += std::string(nombre) + " \"" + QuotePeer(valor) + "\"";
    }
  }
  return lista;
}

}  // namespace

std::int16_t Cliente::InicializaPinPad(const std::string& vpID_Store, std::int32_t vpPTid,
                                       const std::string& vpTipo, const std::string& vpSerie,
                                       const std::string& vpUserTA, const std::string& vpPwdTA) {
  detail::ClienteState& state = *state_;
  Operator& op = state.op;
  std::int16_t inicializada = 0;
  RunTrapped(op, [&] {
    settings::BorraParametros(op);
    if (TrimBlanks(vpID_Store).empty()) {
      op.MessageBox(
          "TOVALIX: Inicialización Cancelada. El parámetro ID Store no puede venir vacío.",
          Operator::kPlain, "");
      return;
    }
    // The terminal's data and the airtime credentials will travel to these two addresses.
    for (const std::string& url : {DefaultGatewayUrl(), DefaultAirtimeUrl()}) {
      if (!platform::IsSafeAddress(url)) {
        op.MessageBox("TOVALIX: " + platform::UnsafeAddressText(url), Operator::kPlain, "");
        return;
      }
    }
    std::string serie;
    if (drivers::FindModel(vpTipo)) {
      serie = control::ConfiguraPinPad(state, vpTipo);
    } else if (vpTipo == "NINGUNA") {
      serie = vpSerie;
    } else {
      op.MessageBox("TOVALIX: El tipo de terminal no es válido. Verifique su información.",
                    Operator::kPlain, "");
      return;
    }
    if (TrimBlanks(serie).empty()) return;

    const std::string ptid = std::to_string(vpPTid);
    gateway::PinPad registro;
    const Dictionary prueba =
        gateway::PruebaConfigPinPad(registro, PrimeraTienda(vpID_Store), serie, ptid,
                                    DefaultGatewayUrl(), kTiempoConfiguracion, op);
    if (TrimBlanks(prueba.Item("ID_Error")) != "0") return;

    // Everything the gateway gave is stored in one write at the end of each path, so that a
    // terminal switched off half-way finds itself erased rather than initialized with part of
    // its data (the loader does not ask for every value).
    std::vector<std::pair<std::string, std::string>> valores;
    const auto guarda = [&](const char* clave, const std::string& valor) {
      valores.emplace_back(clave, valor);
    };
    const bool completa = [&] {
      guarda("param1", vpID_Store);
      guarda("param2", serie);
      guarda("param3", ptid);
      guarda("param4", vpTipo);
      guarda("param12", vpUserTA);
      guarda("param13", vpPwdTA);
      guarda("param14", DefaultAirtimeUrl());
      guarda("param5", DefaultGatewayUrl());
      guarda("param6", prueba.Item("m_Description"));
      guarda("param7", prueba.Item("m_rfc"));
      guarda("param8", control::PrimeraLineaDireccion(prueba));
      guarda("param9", control::SegundaLineaDireccion(prueba));

      const auto sin_tiempo_de_respuesta = [&] {
        op.MessageBox("TOVALIX: Problemas para obtener El Tiempo de Respuesta de su Aplicación",
                      Operator::kPlain, "");
      };
      if (prueba.Item("timeOut_telco").empty()) {
        sin_tiempo_de_respuesta();
        return false;
      }
      guarda("param20", prueba.Item("timeOut_telco"));
      if (prueba.Item("timeOut_credit_debit").empty()) {
        sin_tiempo_de_respuesta();
        return false;
      }
      guarda("param21", prueba.Item("timeOut_credit_debit"));
      guarda("param22", prueba.Item("timeOut_orex"));
      guarda("param23", prueba.Item("timeOut_corresponsal"));
      if (prueba.Item("timeOut_pinpadConfig").empty()) {
        op.MessageBox("TOVALIX: Problemas para obtener El Tiempo de Respuesta de la Configuración",
                      Operator::kPlain, "");
        return false;
      }
      guarda("param24", prueba.Item("timeOut_pinpadConfig"));
      guarda("param25", prueba.Item("timeOut_giftCard"));
      guarda("param26", prueba.Item("timeOut_cashback"));
      guarda("param10", prueba.Item("m_telephone"));
      guarda("param11", control::TerceraLineaDireccion(prueba));
      return true;
    }();
    const bool guardada = settings::GuardaParametros(valores, op);
    inicializada = completa && guardada ? 1 : 0;
    // Stored as the gateway gave them; every request bounds them (gateway/timeout.hpp). The
    // installer and the log hear which ones.
    const std::string acotados = guardada ? TiemposAcotados(valores) : "";
    if (!acotados.empty()) {
      const std::string aviso =
          "TOVALIX: El gateway entregó tiempos de respuesta fuera de los límites de 1 a 120 "
          "segundos; se usará un tiempo acotado en su lugar: " +
          acotados;
      op.MessageBox(aviso, Operator::kPlain, "");
      AppendLogLine(aviso);
    }
  });
  return inicializada;
}

}  // namespace tovalix
