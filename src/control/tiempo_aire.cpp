// The four airtime operations of the control: each lends the airtime procedures the control's
// settings copy and its catalogue ids.
#include <tovalix/cliente.hpp>

#include "airtime/tiempo_aire.hpp"
#include "control/cliente_state.hpp"

namespace tovalix {
namespace {

airtime::EstadoTiempoAire Estado(detail::ClienteState& state) {
  return {state.Parametros, state.op, state.IdMaster, state.IdProveedor};
}

}  // namespace

Dictionary Cliente::TiempoAireStatusVenta(const std::string& vpProvider,
                                          const std::string& vpposTimeStamp) {
  auto estado = Estado(*state_);
  return airtime::TiempoAireStatusVenta(estado, vpProvider, vpposTimeStamp);
}

Dictionary Cliente::TiempoAire(const std::string& vptellerLogin, const std::string& vpProvider,
                               const std::string& vptopUpTelephone, double vpAmount,
                               const std::string& vpposTimeStamp) {
  auto estado = Estado(*state_);
  return airtime::TiempoAire(estado, vptellerLogin, vpProvider, vptopUpTelephone, vpAmount,
                             vpposTimeStamp);
}

Dictionary Cliente::TiempoAireConsultaSaldo(const std::string& vptellerLogin) {
  auto estado = Estado(*state_);
  return airtime::TiempoAireConsultaSaldo(estado, vptellerLogin);
}

Dictionary Cliente::TiempoAireCantidades(const std::string& vpProvider) {
  auto estado = Estado(*state_);
  return airtime::TiempoAireCantidades(estado, vpProvider);
}

}  // namespace tovalix
