// The four airtime operations of the control and its two catalogue lookups. The control lends
// each call its settings copy, its operator and the catalogue ids it keeps between calls; the
// operations never touch the PIN pad.
#pragma once

#include <cstdint>
#include <string>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "settings/parametros.hpp"

namespace tovalix::airtime {

// What the control lends an airtime operation.
struct EstadoTiempoAire {
  settings::Parametros& parametros;  // filled by the operation's own CargaParametros call
  Operator& op;
  std::int16_t& IdMaster;  // the control's catalogue ids, kept between calls
  std::int16_t& IdProveedor;
};

// Sells `vpAmount` of `vpProvider` airtime to the ten-digit phone `vptopUpTelephone`.
// `vptellerLogin` (optional, numeric) names the cashier; `vpposTimeStamp` (up to 26
// characters) is the sale's unique reference for a later status check. Never throws.
Dictionary TiempoAire(EstadoTiempoAire& estado, const std::string& vptellerLogin,
                      const std::string& vpProvider, const std::string& vptopUpTelephone,
                      double vpAmount, const std::string& vpposTimeStamp);

// The state of the sale made with the reference `vpposTimeStamp`. Never throws.
Dictionary TiempoAireStatusVenta(EstadoTiempoAire& estado, const std::string& vpProvider,
                                 const std::string& vpposTimeStamp);

// The balances of the merchant's airtime account. Never throws.
Dictionary TiempoAireConsultaSaldo(EstadoTiempoAire& estado, const std::string& vptellerLogin);

// The amounts the catalogue lists for `vpProvider`, as "20,50,100," in `Cantidades`.
// Never throws.
Dictionary TiempoAireCantidades(EstadoTiempoAire& estado, const std::string& vpProvider);

// Looks `provider` (any letter case) and `amount` up in the service's catalogue. Both ids are
// set to 0 first; on success they take the catalogue's master and provider ids. Any failure
// (no connection, an answer that is not a catalogue) gives false. Never throws.
bool BuscaImporte(EstadoTiempoAire& estado, const std::string& provider, double amount);

// Looks `provider` (any letter case) up in the catalogue. Both ids are set to 0 first; on
// success only IdMaster is set. Any failure gives false. Never throws.
bool BuscaProveedor(EstadoTiempoAire& estado, const std::string& provider);

}  // namespace tovalix::airtime
