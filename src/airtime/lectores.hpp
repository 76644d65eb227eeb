// The readers of the service's answers, apart from the requests so that any body can be put
// through them. Each takes the result the operation holds just before the answer is read and
// changes it in place; a failure (not XML, an element missing) leaves it as far as it got,
// with its keys, and is thrown for the operation to report.
#pragma once

#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>

#include "settings/parametros.hpp"

namespace tovalix::airtime {

// TiempoAire: the result before the sale is asked for (Accepted "", responseCode "102").
Dictionary VentaEnCurso();
// Reads the "/TopUpPurchase" answer.
void LeeVenta(std::string_view body, const settings::Parametros& p, Dictionary& resultado);

// TiempoAireStatusVenta: the result before the status is asked for.
Dictionary StatusEnCurso();
// Reads the "/VerifyTopUpPurchase" answer.
void LeeStatusVenta(std::string_view body, const settings::Parametros& p, Dictionary& resultado);

// TiempoAireConsultaSaldo: the first result (Accepted "False").
Dictionary SaldoInicial();
// Reads the "/GetBalance" answer.
void LeeSaldo(std::string_view body, const settings::Parametros& p, Dictionary& resultado);

// TiempoAireCantidades: the first result.
Dictionary CantidadesIniciales();
// Reads the "/GetCat" answer for `provider`; assigns the keys only once the walk is through.
void LeeCantidades(std::string_view body, const std::string& provider, Dictionary& resultado);

}  // namespace tovalix::airtime
