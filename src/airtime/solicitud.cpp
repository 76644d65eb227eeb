#include "airtime/solicitud.hpp"

#include "common/text_encoding.hpp"
#include "gateway/timeout.hpp"

namespace tovalix::airtime {

platform::HttpTimeouts TiemposDeEspera(std::string_view timeOutTelco) {
  return {10000, 15000, 20000, gateway::TimeoutMilliseconds(timeOutTelco)};
}

Respuesta Solicita(const settings::Parametros& p, std::string_view path, const std::string& body) {
  const platform::HttpTimeouts tiempos = TiemposDeEspera(p.TimeOutTelco);
  const auto http = platform::MakeHttpClient();
  http->SetTimeouts(tiempos);
  http->Post(p.UrlTiempoAire + std::string(path), "application/x-www-form-urlencoded", body);
  return {http->Status(), http->Body()};
}

void AvisaFallaConexion(Operator& op, const Respuesta& respuesta) {
  op.MessageBox("TIEMPO AIRE: Ocurrió un error al intentar conectar con el gateway deQuelvan" +
                    std::to_string(respuesta.status) + "-----" + QuotePeer(respuesta.body),
                Operator::kPlain, "");
}

}  // namespace tovalix::airtime
