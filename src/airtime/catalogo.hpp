// Walking the provider catalogue ("/GetCat"). Its element names are compared in upper case;
// under the root, MASTER holds the master id as its first child node and OPERATIONMODE
// elements; each PROVIDER lists its id just before PROVIDERDESCRIPTION, then AMOUNT elements
// whose second child node is an amount that may be sold. RESPONSETEXT explains a refusal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tovalix::airtime {

struct IdsCatalogo {
  std::int16_t master = 0;
  std::int16_t proveedor = 0;
  bool operator==(const IdsCatalogo&) const = default;
};

// The walk of BuscaImporte: the ids of the first PROVIDER named `proveedor` (any case) once
// an AMOUNT equal to `importe` follows it. Both 0 when the name or the amount is not listed or
// a RESPONSETEXT with content comes first; the master is 0 when the catalogue gives it as 0.
// Throws Failure when the body is not XML, a node read by position is missing, an amount does
// not read as a number or an id is not a 16-bit integer.
IdsCatalogo RecorreImporte(std::string_view body, std::string_view proveedor, double importe);

// The walk of BuscaProveedor: the master id of the first PROVIDER named `proveedor`; the
// provider id is left 0. Failures as RecorreImporte.
IdsCatalogo RecorreProveedor(std::string_view body, std::string_view proveedor);

// What the walk of TiempoAireCantidades collects.
struct CantidadesCatalogo {
  std::string aceptado;       // first child node of ACCEPTED; "" when there is none
  std::string instrucciones;  // first child node of the last RESPONSETEXT with content
  std::string lista;          // "20,50,100," for the first PROVIDER named `proveedor`
};

// Failures as RecorreImporte.
CantidadesCatalogo RecorreCantidades(std::string_view body, std::string_view proveedor);

}  // namespace tovalix::airtime
