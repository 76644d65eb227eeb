// The one request procedure of every airtime call: a fresh HTTP object per call, the service's
// four time-outs, a form POST to the stored base address plus the operation's path.
#pragma once

#include <string>
#include <string_view>

#include <tovalix/operator.hpp>

#include "platform/http_client.hpp"
#include "settings/parametros.hpp"

namespace tovalix::airtime {

struct Respuesta {
  int status = 0;
  std::string body;
};

// Name resolution 10 s, connection 15 s, sending 20 s, receiving `timeOutTelco` seconds
// (120 s when it is not a whole number from 1 to 120). Never throws.
platform::HttpTimeouts TiemposDeEspera(std::string_view timeOutTelco);

// Posts `body` to UrlTiempoAire + `path` and returns the answer whatever its status. Throws
// Failure when the exchange fails (no connection, time-out, an answer past the size limits).
Respuesta Solicita(const settings::Parametros& p, std::string_view path, const std::string& body);

// The public operations' message for an answer whose status is not 200: the status and the
// start of the body as QuotePeer gives it, no icon, the default title.
void AvisaFallaConexion(Operator& op, const Respuesta& respuesta);

}  // namespace tovalix::airtime
