// Any bytes as the body of an airtime answer: each reader and catalogue walk reads it or fails
// with a Failure, and every result keeps its keys in order with valid UTF-8 texts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "airtime/catalogo.hpp"
#include "airtime/lectores.hpp"
#include "common/failure.hpp"
#include "common/text_encoding.hpp"
#include "fuzz_support.hpp"

namespace {

using tovalix::Dictionary;

template <typename Reader>
void Read(Dictionary start, Reader reader) {
  const Dictionary before = start;
  try {
    reader(start);
  } catch (const tovalix::Failure&) {
    // a failure leaves the result as far as it got
  }
  tovalix::fuzz::Require(start.Keys() == before.Keys());
  for (const auto& [key, value] : start.Entries())
    tovalix::fuzz::Require(tovalix::IsValidUtf8(value));
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
    tovalix::fuzz::Require((ids.master == 0) == (ids.proveedor == 0));
  } catch (const tovalix::Failure&) {
  }
  try {
    tovalix::fuzz::Require(RecorreProveedor(body, "TELCEL").proveedor == 0);
  } catch (const tovalix::Failure&) {
  }
  try {
    const CantidadesCatalogo cantidades = RecorreCantidades(body, "Telcel");
    tovalix::fuzz::Require(cantidades.lista.empty() || cantidades.lista.back() == ',');
  } catch (const tovalix::Failure&) {
  }
  return 0;
}
