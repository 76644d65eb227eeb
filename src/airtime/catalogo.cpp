#include "airtime/catalogo.hpp"

#include "airtime/respuesta.hpp"
#include "common/failure.hpp"
#include "common/number_text.hpp"

namespace tovalix::airtime {
namespace {

using platform::XmlNode;

bool Es(const XmlNode& nodo, std::string_view nombre) {
  return Mayusculas(nodo.Name()) == nombre;
}

double Importe(const XmlNode& amount) {
  const auto valor = ParseNumber(TextoDe(Hijo(amount, 1)));
  if (!valor) throw Failure("No coinciden los tipos");
  return *valor;
}

// Calls `visita` for every PROVIDER of every OPERATIONMODE of `master`, in document order,
// while `sigue()` holds.
template <typename Sigue, typename Visita>
void RecorreProveedores(const XmlNode& master, Sigue sigue, Visita visita) {
  for (XmlNode modo = master.FirstChild(); !modo.IsNull(); modo = modo.NextSibling()) {
    if (!Es(modo, "OPERATIONMODE")) continue;
    for (XmlNode prov = modo.FirstChild(); !prov.IsNull(); prov = prov.NextSibling()) {
      if (Es(prov, "PROVIDER") && sigue()) visita(prov);
    }
  }
}

// The master id text: the first child node of MASTER, when it has one.
void LeeMaster(const XmlNode& master, std::string& texto) {
  if (master.HasChildren()) texto = TextoDe(master.FirstChild());
}

bool Rechazo(const XmlNode& nodo) {
  return Es(nodo, "RESPONSETEXT") && nodo.HasChildren();
}

}  // namespace

IdsCatalogo RecorreImporte(std::string_view body, std::string_view proveedor, double importe) {
  const Documento documento(body);
  const std::string buscado = Mayusculas(proveedor);
  std::string texto_proveedor;
  std::string texto_master;
  IdsCatalogo hallado;
  for (XmlNode hijo = documento.Raiz().FirstChild(); !hijo.IsNull() && hallado.master == 0;
       hijo = hijo.NextSibling()) {
    if (Es(hijo, "MASTER")) {
      LeeMaster(hijo, texto_master);
      RecorreProveedores(
          hijo, [&] { return texto_proveedor.empty(); },
          [&](const XmlNode& prov) {
            for (XmlNode dato = prov.FirstChild(); !dato.IsNull() && hallado.proveedor == 0;
                 dato = dato.NextSibling()) {
              if (Es(dato, "PROVIDERDESCRIPTION") && Mayusculas(TextoDe(dato)) == buscado) {
                texto_proveedor = TextoDe(Anterior(dato));
              } else if (!texto_proveedor.empty() && Es(dato, "AMOUNT") &&
                         Importe(dato) == importe) {
                hallado.proveedor = ToInteger(texto_proveedor);
                hallado.master = ToInteger(texto_master);
              }
            }
          });
    } else if (Rechazo(hijo)) {
      return {};
    }
  }
  if (hallado.master == 0 || hallado.proveedor == 0) return {};
  return hallado;
}

IdsCatalogo RecorreProveedor(std::string_view body, std::string_view proveedor) {
  const Documento documento(body);
  const std::string buscado = Mayusculas(proveedor);
  std::string texto_proveedor;
  std::string texto_master;
  IdsCatalogo hallado;
  bool decidido = false;  // the first name that matches decides, whatever its ids
  for (XmlNode hijo = documento.Raiz().FirstChild(); !hijo.IsNull() && hallado.master == 0;
       hijo = hijo.NextSibling()) {
    if (Es(hijo, "MASTER")) {
      LeeMaster(hijo, texto_master);
      RecorreProveedores(
          hijo, [&] { return !decidido && texto_proveedor.empty(); },
          [&](const XmlNode& prov) {
            for (XmlNode dato = prov.FirstChild(); !dato.IsNull() && !decidido;
                 dato = dato.NextSibling()) {
              if (Es(dato, "PROVIDERDESCRIPTION") && Mayusculas(TextoDe(dato)) == buscado) {
                texto_proveedor = TextoDe(Anterior(dato));
                hallado.master = ToInteger(texto_master);
                decidido = true;
              }
            }
          });
    } else if (Rechazo(hijo)) {
      return {};
    }
  }
  return {hallado.master, 0};
}

CantidadesCatalogo RecorreCantidades(std::string_view body, std::string_view proveedor) {
  const Documento documento(body);
  const std::string buscado = Mayusculas(proveedor);
  std::string texto_proveedor;
  std::string texto_master;  // read as the service writes it; it plays no part in the list
  CantidadesCatalogo cantidades;
  for (XmlNode hijo = documento.Raiz().FirstChild(); !hijo.IsNull(); hijo = hijo.NextSibling()) {
    if (Es(hijo, "ACCEPTED")) cantidades.aceptado = TextoDe(Hijo(hijo, 0));
    if (Es(hijo, "MASTER")) {
      LeeMaster(hijo, texto_master);
      RecorreProveedores(
          hijo, [&] { return texto_proveedor.empty(); },
          [&](const XmlNode& prov) {
            for (XmlNode dato = prov.FirstChild(); !dato.IsNull(); dato = dato.NextSibling()) {
              if (Es(dato, "PROVIDERDESCRIPTION") && Mayusculas(TextoDe(dato)) == buscado) {
                texto_proveedor = TextoDe(Anterior(dato));
              } else if (!texto_proveedor.empty() && Es(dato, "AMOUNT")) {
                cantidades.lista += TextOfDouble(Importe(dato)) + ",";
              }
            }
          });
    } else if (Rechazo(hijo)) {
      cantidades.instrucciones = TextoDe(hijo.FirstChild());
    }
  }
  return cantidades;
}

}  // namespace tovalix::airtime
