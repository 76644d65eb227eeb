#include "drivers/optimum/impresion.hpp"

#include <string>

#include "common/error_report.hpp"
#include "common/number_text.hpp"
#include "drivers/optimum/commands.hpp"
#include "drivers/optimum/exchange.hpp"
#include "serial/generales.hpp"

namespace tovalix::drivers::optimum {
namespace {

constexpr std::string_view kCodigoMensaje = "50";

// The printer's answer is "vxv" and a digit; the print text itself carries no command code.
constexpr std::string_view kCodigoImpresion = "";

constexpr std::string_view kSinFormato =
    "TOVALIX: La terminal no imprime el voucher de esta operación (sólo pago con tarjeta, "
    "tarjeta de regalo y corresponsal).";
constexpr std::string_view kTicketIlegible =
    "TOVALIX: No se imprimió el ticket: cada artículo debe ser \"descripción,cantidad,precio\" "
    "con números, y cada pago \"concepto,importe\".";

// The part every print job shares: the port, the terminal's display, the printer's statuses.
class Impresora {
 public:
  explicit Impresora(EntornoVenta& entorno) : e_(entorno) {}

  // False (after telling the operator) when there is no port to print on.
  bool Prepara() {
    if (TrimBlanks(e_.puerto).empty()) {
      Avisa("TOVALIX: No se pudo definir el puerto de la terminal para poder imprimir.");
      return false;
    }
    if (!e_.link.EstaAbierto()) {
      e_.link.SetFormat(kFormat);
      e_.link.Abre(e_.puerto);
    }
    e_.link.LimpiaBuffer();
    e_.link.DetieneLector();
    return true;
  }

  void Muestra(std::string_view texto) {
    const std::string mensaje = optimum_.ArmaMensaje(texto);
    if (!mensaje.empty()) EnviaOptimum(e_.link, mensaje, kCodigoMensaje);
  }

  // Sends one print text and tells the operator what the printer said; a printer that asks
  // for it again gets it once more. True when the printer answered that it printed.
  bool Imprime(const std::string& texto) {
    for (int envio = 0;; ++envio) {
      e_.link.LimpiaBuffer();
      const std::int16_t estado = EnviaOptimum(e_.link, texto, kCodigoImpresion);
      // 0 is also what a silent or refusing terminal gives; only "vxv0" is a printed text.
      const bool contesto = e_.link.BufferRecepcion().find("vxv") != std::string::npos;
      if (estado == 0 && contesto) return true;
      if (estado == 1) {
        Avisa("TOVALIX: Impresora sin papel");
      } else if (estado == 2 && envio == 0) {
        Avisa("TOVALIX: Reenviando Impresión");
        continue;
      } else {
        Avisa("TOVALIX: Error no identificado al imprimir el voucher");
      }
      return false;
    }
  }

  void Pausa(double segundos) { serial::Pausa(segundos, e_.op, e_.clock); }

  const OPTIMUM& Comandos() const { return optimum_; }

  void Avisa(std::string_view texto) { e_.op.MessageBox(std::string(texto), Operator::kPlain, ""); }

  // Closes the port on every path.
  void Cierra() noexcept {
    e_.link.DetieneLector();
    e_.link.Cierra();
  }

 private:
  EntornoVenta& e_;
  OPTIMUM optimum_;
};

}  // namespace

extern const Printer kImpresoraOptimum{&ImprimeVoucher, &ImprimeTicket};

bool ImprimeVoucher(EntornoVenta& entorno, const Dictionary& datos, std::string_view /*texto*/,
                    std::int16_t operacion, const platform::WallTime& ahora) {
  Impresora impresora(entorno);
  bool impreso = false;
  RunTrapped(entorno.op, [&] {
    const bool copia_unica =
        datos.Item("process_type") == "GCBalance" && operacion == OPTIMUM::kCorresponsal;
    const std::string cliente = impresora.Comandos().Imprime(
        datos, copia_unica ? "TICKET UNICO" : "COPIA CLIENTE", operacion, ahora);
    if (cliente.empty()) {  // no layout: nothing is sent
      impresora.Avisa(kSinFormato);
      return;
    }
    if (!impresora.Prepara()) return;
    impresora.Muestra("Imprimiendo Voucher...");
    impreso = impresora.Imprime(cliente);
    if (copia_unica) return;
    impresora.Pausa(1);
    impresora.Muestra("Imprimiendo Copia Voucher...");
    const bool cajero =
        impresora.Imprime(impresora.Comandos().Imprime(datos, "COPIA CAJERO", operacion, ahora));
    impreso = impreso && cajero;
  });
  impresora.Cierra();
  return impreso;
}

bool ImprimeTicket(EntornoVenta& entorno, const DatosTicket& ticket,
                   std::span<const std::string> articulos, std::span<const std::string> pagos,
                   const platform::WallTime& ahora) {
  Impresora impresora(entorno);
  bool impreso = false;
  RunTrapped(entorno.op, [&] {
    Dictionary datos;
    datos.Add("Razon", ticket.Razon);
    datos.Add("Dir1", ticket.Dir1);
    datos.Add("Dir2", ticket.Dir2);
    datos.Add("Dir3", ticket.Dir3);
    datos.Add("Tel", ticket.Tel);
    datos.Add("Folio", ticket.Folio);
    datos.Add("Total", ticket.Total);
    const std::string texto =
        impresora.Comandos().ImprimePuntoVenta(datos, articulos, pagos, ahora);
    if (texto.empty()) {
      impresora.Avisa(kTicketIlegible);
      return;
    }
    if (!impresora.Prepara()) return;
    impresora.Muestra("Imprimiendo Voucher...");
    impreso = impresora.Imprime(texto);
  });
  impresora.Cierra();
  return impreso;
}

}  // namespace tovalix::drivers::optimum
