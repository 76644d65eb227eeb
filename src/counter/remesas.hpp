// Remittance orders at the banking agent's counter: look an order up, and pay it out to the
// beneficiary against an identification document. Both post to the stored gateway URL and
// never touch the PIN pad. The public Mostrador reaches them.
#pragma once

#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "settings/parametros.hpp"

namespace tovalix::counter {

// Whole seconds used when the stored TimeOutOrex is blank or not a number: the time-out the
// gateway hands out for the other counter services.
inline constexpr std::string_view kTimeOutOrexPredeterminado = "45";

// The beneficiary's identification documents; at least one must be filled in.
struct Identificaciones {
  std::string visa;
  std::string pasaporte;
  std::string green_card;
  std::string seguro_social;
  std::string matricula_consular;
  std::string ide;  // voter identification
  std::string licencia;
};

// The stored TimeOutOrex, or the default when it is blank or not a number.
std::string TimeOutRemesa(const settings::Parametros& parametros);

// A counter service's stored time-out, or the remittances' default when it is blank: the
// gateway may leave the banking-agent and gift-card time-outs empty. What is not blank is
// bounded where the request is made (gateway/timeout.hpp).
std::string TiempoMostrador(const std::string& guardado);

// Looks the order up (process 3). Loads the settings into `parametros`. Returns the pre-filled
// result ("status" "Error al buscar la orden", "id_status" "0", the rest empty) when a check
// refuses (after its box), otherwise the gateway's answer. Never throws.
Dictionary ConsultaRemesa(settings::Parametros& parametros, Operator& op, const std::string& orden);

// Pays the order out (process 4) against the documents. Returns "response_code" empty and
// "status" "Error al buscar la orden" when a check refuses, otherwise the gateway's answer.
// Never throws.
Dictionary PagaRemesa(settings::Parametros& parametros, Operator& op, const std::string& orden,
                      const Identificaciones& documentos);

}  // namespace tovalix::counter
