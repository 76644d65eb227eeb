// The print texts of the Optimum's printer: vouchers (card payment, gift card, counter
// service) and the sales ticket. Segments begin with a format code of the printer ("@cnn "
// centred, "@lnn " left, "@rnn " right, "@cnb " emphasised, "@br" blank line, "@logo1" the
// stored logo) and end with CR LF unless the layout says otherwise. The text is built in
// Windows-1252, so column widths count the bytes the printer receives.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/deployment.hpp"
#include "common/number_text.hpp"
#include "common/text_encoding.hpp"
#include "drivers/optimum/commands.hpp"
#include "drivers/optimum/formato_impresion.hpp"

namespace tovalix::drivers::optimum {
namespace {

constexpr std::size_t kAnchoReferencia = 20;
constexpr std::string_view kAsteriscos = "******************************************";  // 42

class Texto {
 public:
  // A segment that the next one follows on the same printed line.
  void Pega(std::string_view codigo, std::string_view texto = {}) {
    texto_ += codigo;
    texto_ += texto;
  }
  void Linea(std::string_view codigo, std::string_view texto = {}) {
    Pega(codigo, texto);
    texto_ += "\r\n";
  }
  void Br(int veces = 1) {
    for (int i = 0; i < veces; ++i) Linea("@br");
  }
  std::string Fin() && {
    texto_ += "</vxv>";
    return std::move(texto_);
  }

 private:
  std::string texto_ = "<vxv>";
};

// The customer-service notice of the counter-service voucher, from the deployment's contacts:
// a contact not configured leaves its lines out, and with none the notice is left out.
// CONDUSEF is the national financial consumer-protection authority.
void AvisoClientes(Texto& t) {
  const CustomerServiceContacts contactos = CustomerContacts();
  if (!contactos.phone.empty()) {
    t.Linea("@cnn ", "PARA ACLARACIONES LLAME SIN COSTO");
    t.Linea("@cnn ", "AL " + Utf8ToAnsi(contactos.phone) + " DE LUNES A DOMINGO");
  }
  if (!contactos.email.empty()) {
    t.Linea("@cnn ", (contactos.phone.empty() ? "PARA ACLARACIONES ESCRIBA A " : "O ESCRIBA A ") +
                         Utf8ToAnsi(contactos.email));
  }
  if (!contactos.authority_phone.empty()) {
    t.Linea("@cnn ", "CONDUSEF: " + Utf8ToAnsi(contactos.authority_phone));
    t.Linea("@cnn ", "www.condusef.gob.mx");
  }
}

// The value under `clave` as the printer's bytes; a missing key reads as empty text.
std::string Valor(const Dictionary& datos, std::string_view clave) {
  return Utf8ToAnsi(datos.Item(clave));
}

bool EsNumero(std::string_view texto, double numero) {
  const std::optional<double> valor = ParseNumber(texto);
  return valor && *valor == numero;
}

void Referencia(Texto& t, std::string_view etiqueta, std::string_view valor) {
  t.Linea("@rnn ", std::string(etiqueta) + AlineaDerecha(valor, kAnchoReferencia));
}

void EncabezadoComercio(Texto& t, const Dictionary& d) {
  t.Linea("@cnn ", Valor(d, "Description"));
  t.Linea("@cnn ", Valor(d, "Address1"));
  t.Linea("@cnn ", Valor(d, "Address2"));
  t.Linea("@cnn ", "RFC:" + Valor(d, "RFC"));
  t.Linea("@cnn ", Valor(d, "Affiliation"));
  t.Linea("@cnn ", "CAJA: " + Valor(d, "ID_Terminal"));
}

void Etiqueta(Texto& t, std::string_view etiqueta) {
  t.Linea("@cnn ", "-------- " + Utf8ToAnsi(etiqueta) + " ---------------");
}

// A card number from a track 2 text: only its last four digits are printed.
std::string NumeroEnmascarado(std::string_view track2) {
  const std::string_view pan = track2.substr(0, track2.find('='));
  std::string digitos;
  for (const char c : pan) {
    if (c >= '0' && c <= '9') digitos += c;
  }
  if (digitos.size() > 4) digitos.erase(0, digitos.size() - 4);
  return "**** **** **** " + digitos;
}

std::string VoucherPagoTarjeta(const Dictionary& d, std::string_view etiqueta,
                               const platform::WallTime& ahora) {
  const bool venta = EsNumero(d.Item("Operation_Type"), 1);
  Texto t;
  t.Linea("@logo1");
  t.Linea("@cnn ", venta ? "VENTA" : "CANCELACION");
  t.Br();
  EncabezadoComercio(t, d);
  t.Br();
  t.Linea("@lnn ", "NUMERO DE TARJETA");
  t.Linea("@lnn ", "**** **** **** " + Valor(d, "Truncated"));
  t.Br();
  // The card line runs into the next "@br" on the same printed line.
  t.Pega("@cnb ",
         Valor(d, "OperType") + "/" + Valor(d, "CardType") + " / " + Valor(d, "IssuingBank"));
  t.Br();
  t.Linea("@cnb ", Valor(d, "Response_Message"));
  t.Br();
  Etiqueta(t, etiqueta);
  t.Br();
  t.Linea("@lnn ", "IMPORTE $" + FormatoMoneda(Valor(d, "Total")));
  t.Br();
  Referencia(t, "OPER.", Valor(d, "ID_Transaction"));
  Referencia(t, "REF.", Valor(d, "ID_Tx"));
  Referencia(t, "NUM.SEC.", Valor(d, "Num_Sec"));
  if (EsNumero(d.Item("Pos_entry_mode"), 2)) {
    Referencia(t, "ARQC", Valor(d, "ARQC"));
    Referencia(t, "AID", Valor(d, "AID"));
  }
  Referencia(t, "AUT.", Valor(d, "Authorization_Number"));
  t.Br();
  t.Linea("@lnn ", "CAJERO : ");
  t.Linea("@lnn ", "FECHA: " + FechaVoucher(ahora));
  t.Linea("@lnn ", "HORA: " + HoraVoucher(ahora));
  t.Br(2);
  t.Linea("@cnn ", "FIRMA______________________________");
  t.Br();
  t.Linea("@cnn ", "ME OBLIGO EN LOS TERMINOS DADOS");
  t.Linea("@cnn ", "AL REVERSO DE ESTE PAGARE");
  t.Br(2);
  if (venta) t.Linea("@cnn ", "Pago de:" + Valor(d, "Servicio"));
  t.Br(5);
  return std::move(t).Fin();
}

std::string TituloTarjetaRegalo(std::string_view proceso) {
  if (proceso == "GCActivateCard") return "ACTIVACION";
  if (proceso == "GCBalanceIncrease") return "ACUMULACION";
  if (proceso == "GCPurchase") return "VENTA";
  if (proceso == "GCBalance") return "CONSULTA DE SALDO";
  if (proceso == "GCCancel") return "CANCELACION DE OPERACION";
  return "";
}

// Amount, balance, references, teller and the gateway's date: common to the gift-card and
// counter-service vouchers. A balance query carries no amount, so it prints no amount line.
void Movimiento(Texto& t, const Dictionary& d, std::string_view etiqueta_saldo) {
  const std::string importe = Valor(d, "amount");
  if (!importe.empty()) t.Linea("@lnn ", "IMPORTE $" + FormatoMoneda(importe));
  t.Linea("@lnn ", std::string(etiqueta_saldo) + FormatoMoneda(Valor(d, "balance")));
  t.Br();
  Referencia(t, "OPER.", Valor(d, "oper_number"));
  Referencia(t, "AUT.", Valor(d, "autho_number"));
  t.Br();
  t.Linea("@lnn ", "CAJERO : " + Valor(d, "teller"));
  t.Linea("@lnn ", "FECHA/HORA: " + Valor(d, "date_time"));
  t.Br();
}

std::string VoucherTarjetaRegalo(const Dictionary& d, std::string_view etiqueta) {
  Texto t;
  t.Linea("@logo1");
  t.Linea("@cnn ", TituloTarjetaRegalo(d.Item("process_type")));
  t.Br();
  EncabezadoComercio(t, d);
  t.Br();
  t.Linea("@lnn ", "NUMERO DE TARJETA");
  t.Linea("@lnn ", NumeroEnmascarado(d.Item("track2")));
  t.Br();
  Etiqueta(t, etiqueta);
  t.Br();
  Movimiento(t, d, "BALANCE $");
  t.Linea("@cnn ", "ME OBLIGO EN LOS TERMINOS DADOS");
  t.Linea("@cnn ", "AL REVERSO DE ESTE PAGARE");
  t.Br(2);
  t.Linea("@cnn ", "Prepago de:" + Valor(d, "Servicio"));
  t.Br(5);
  return std::move(t).Fin();
}

// Process types of the counter-service operations. A gift-card balance query reaches this
// layout too ("GCBalance", printed once as "TICKET UNICO").
std::string TituloCorresponsal(std::string_view proceso) {
  if (proceso == "CBCardPayment") return "PAGO DE TARJETA BANCARIA";
  if (proceso == "CBChequePayment") return "PAGO DE CHEQUE";
  if (proceso == "CBBalance" || proceso == "GCBalance") return "CONSULTA DE SALDO";
  if (proceso == "CBChequeDeposit") return "DEPOSITO A CUENTA DE CHEQUES";
  if (proceso == "CBCreditPayment") return "PAGO DE CREDITO";
  if (proceso == "CBCashWithdrawal") return "RETIRO DE EFECTIVO CON TARJETA BANCARIA";
  return "";
}

std::string VoucherCorresponsal(const Dictionary& d, std::string_view etiqueta) {
  const std::string& proceso = d.Item("process_type");
  Texto t;
  t.Linea("@logo1");
  t.Linea("@cnn ", TituloCorresponsal(proceso));
  t.Br();
  EncabezadoComercio(t, d);
  t.Br();
  t.Linea("@lnn ", proceso == "CBCreditPayment" ? "NUMERO DE CREDITO" : "NUMERO DE CUENTA");
  t.Linea("@lnn ", NumeroEnmascarado(d.Item("track2")));
  t.Br();
  t.Linea("@cnb ", "APROBADA");
  t.Br();
  Etiqueta(t, etiqueta);
  t.Br();
  Movimiento(t, d, "SALDO $");
  AvisoClientes(t);
  t.Br(5);
  return std::move(t).Fin();
}

// Splits `entrada` at its first `partes - 1` commas; nothing when it has fewer.
std::optional<std::vector<std::string>> Parte(std::string_view entrada, int partes) {
  std::vector<std::string> piezas;
  for (int i = 1; i < partes; ++i) {
    const std::size_t coma = entrada.find(',');
    if (coma == std::string_view::npos) return std::nullopt;
    piezas.emplace_back(entrada.substr(0, coma));
    entrada.remove_prefix(coma + 1);
  }
  piezas.emplace_back(entrada);
  return piezas;
}

std::string Pesos(std::string_view monto, std::size_t ancho) {
  return AlineaDerecha("$" + FormatoMoneda(monto), ancho);
}

}  // namespace

std::string OPTIMUM::Imprime(const Dictionary& datos, std::string_view etiqueta,
                             std::int16_t operacion, const platform::WallTime& ahora) const {
  switch (operacion) {
    case kPagoTarjeta:
      return VoucherPagoTarjeta(datos, etiqueta, ahora);
    case kTarjetaRegalo:
      return VoucherTarjetaRegalo(datos, etiqueta);
    case kCorresponsal:
      return VoucherCorresponsal(datos, etiqueta);
    default:
      return {};  // airtime and remittance vouchers have no layout on this printer
  }
}

std::string OPTIMUM::ImprimePuntoVenta(const Dictionary& datos,
                                       std::span<const std::string> articulos,
                                       std::span<const std::string> pagos,
                                       const platform::WallTime& ahora) const {
  Texto t;
  t.Linea("@cnn ", "PUNTO DE VENTA");
  t.Linea("@logo1");
  t.Br();
  t.Linea("@cnn ", Valor(datos, "Razon"));
  t.Linea("@cnn ", Valor(datos, "Dir1"));
  t.Linea("@cnn ", Valor(datos, "Dir2"));
  t.Linea("@cnn ", Valor(datos, "Dir3"));
  t.Linea("@cnn ", "Tel." + Valor(datos, "Tel"));
  t.Br();
  t.Linea("@lnn ", "VENTA  " + Valor(datos, "Folio"));
  t.Br();
  t.Linea("@lnn ", "DESCRIPCION  ");
  t.Linea("@lnn ", "CANTIDAD   PRECIO U.    IMPORTE");
  t.Linea("@lnn ", kAsteriscos);
  // Every entry is printed: the loop over 0 to upper bound - 1 lost a host's last article.
  for (const std::string& articulo : articulos) {
    const auto campos = Parte(Utf8ToAnsi(articulo), 3);
    if (!campos) return {};  // not "description,quantity,price"
    const std::optional<double> cantidad = ParseNumber((*campos)[1]);
    const std::optional<double> precio = ParseNumber((*campos)[2]);
    if (!cantidad || !precio) return {};  // no line amount can be computed
    t.Linea("@lnn ", (*campos)[0]);
    t.Linea("@lnn ", AlineaDerecha((*campos)[1], 6) + Pesos((*campos)[2], 15) +
                         AlineaDerecha("$" + FormatoMoneda(*cantidad * *precio), 15));
  }
  t.Linea("@lnn ", kAsteriscos);
  t.Linea("@lnn ", "PZAS " + std::to_string(articulos.size()));
  t.Br();
  t.Linea("@lnn ", "TOTAL  $" + Valor(datos, "Total"));
  for (const std::string& pago : pagos) {
    const auto campos = Parte(Utf8ToAnsi(pago), 2);
    if (!campos) return {};  // not "concept,amount"
    t.Linea("@lnn ", AlineaIzquierda((*campos)[0], 20) + Pesos((*campos)[1], 16));
  }
  t.Br();
  t.Linea("@lnn ", "FECHA/HORA: " + FechaHoraTicket(ahora));
  t.Br(2);
  t.Linea("@cnn ", Utf8ToAnsi("¡¡¡ GRACIAS POR SU COMPRA !!!!"));
  t.Br(5);
  return std::move(t).Fin();
}

}  // namespace tovalix::drivers::optimum
