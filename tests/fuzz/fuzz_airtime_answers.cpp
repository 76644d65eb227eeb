// Any bytes as the body of an airtime answer: each reader and the catalogue walks either read
// it or fail with a Failure, and every result keeps its keys in their order with valid UTF-8
// texts. No network: the readers are driven directly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "airtime/catalogo.hpp"
#include "airtime/lectores.hpp"
#include "common/failure.hpp"
#include "common/text_encoding.hpp"

namespace {

using tovalix::Dictionary;

void Check(const Dictionary& before, const Dictionary& after) {
  if (after.Keys() != before.Keys()) std::abort();
  for (const auto& [key, value] : after.Entries()) {
    if (!tovalix::IsValidUtf8(value)) std::abort();
  }
}

template <typename Reader>
void Read(Dictionary start, Reader reader) {
  const Dictionary before = start;
  try {
    reader(start);
  } catch (const tovalix::Failure&) {
    // a failure leaves the result as far as it got
  }
  Check(before, start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tovalix::airtime;
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  tovalix::settings::Parametros p;
  p.Descripcion = "Tienda";
  p.Direccion3 = "CDMX";

  Read(VentaEnCurso(), [&](Dictionary& r) { LeeVenta(body, p, r); });
  Read(StatusEnCurso(), [&](Dictionary& r) { LeeStatusVenta(body, p, r); });
  Read(SaldoInicial(), [&](Dictionary& r) { LeeSaldo(body, p, r); });
  Read(CantidadesIniciales(), [&](Dictionary& r) { LeeCantidades(body, "TELCEL", r); });

  try {
    const IdsCatalogo ids = RecorreImporte(body, "telcel", 50);
    // Found means both ids; not found means neither.
    if ((ids.master == 0) != (ids.proveedor == 0)) std::abort();
  } catch (const tovalix::Failure&) {
  }
  try {
    if (RecorreProveedor(body, "TELCEL").proveedor != 0) std::abort();
  } catch (const tovalix::Failure&) {
  }
  try {
    const CantidadesCatalogo cantidades = RecorreCantidades(body, "Telcel");
    if (!cantidades.lista.empty() && cantidades.lista.back() != ',') std::abort();
  } catch (const tovalix::Failure&) {
  }
  return 0;
}
