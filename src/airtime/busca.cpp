// The catalogue lookups of the control. A lookup that cannot reach or read the catalogue just
// answers false, as the operations that call it explain the failure in their own words; the
// cause still goes to the log so that support can tell a missing amount from a dead service.
#include "airtime/catalogo.hpp"
#include "airtime/formulario.hpp"
#include "airtime/solicitud.hpp"
#include "airtime/tiempo_aire.hpp"
#include "common/error_report.hpp"

namespace tovalix::airtime {
namespace {

template <typename Recorre>
bool Busca(EstadoTiempoAire& estado, Recorre recorre) {
  estado.IdProveedor = 0;
  estado.IdMaster = 0;
  try {
    const Respuesta respuesta =
        Solicita(estado.parametros, "/GetCat", Formulario(estado.parametros).Texto());
    return recorre(respuesta.body);
  } catch (...) {
    AppendLogLine(DescribeCurrentException());
    return false;
  }
}

}  // namespace

bool BuscaImporte(EstadoTiempoAire& estado, const std::string& provider, double amount) {
  return Busca(estado, [&](const std::string& body) {
    const IdsCatalogo ids = RecorreImporte(body, provider, amount);
    if (ids.master == 0 || ids.proveedor == 0) return false;
    estado.IdMaster = ids.master;
    estado.IdProveedor = ids.proveedor;
    return true;
  });
}

bool BuscaProveedor(EstadoTiempoAire& estado, const std::string& provider) {
  return Busca(estado, [&](const std::string& body) {
    const IdsCatalogo ids = RecorreProveedor(body, provider);
    if (ids.master == 0) return false;
    estado.IdMaster = ids.master;
    return true;
  });
}

}  // namespace tovalix::airtime
