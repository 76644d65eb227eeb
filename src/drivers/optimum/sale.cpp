#include "drivers/optimum/sale.hpp"

#include <algorithm>
#include <optional>
#include <string_view>

#include "common/error_report.hpp"
#include "common/number_text.hpp"
#include "drivers/optimum/commands.hpp"
#include "drivers/optimum/exchange.hpp"
#include "gateway/pin_pad.hpp"
#include "gateway/sale_journal.hpp"
#include "serial/generales.hpp"

namespace tovalix::drivers::optimum {
namespace {

constexpr std::string_view kCodigoTarjeta = "54";
constexpr std::string_view kCodigoMensaje = "50";
constexpr int kPasadas = 3;

constexpr std::string_view kErrorLectura = "ERROR AL LEER TARJETA, REINTENTE";
constexpr std::string_view kMontoNoEnviable =
    "La terminal solo recibe importes en pesos enteros de hasta doce dígitos; el importe o la "
    "propina no pueden enviarse.";

Dictionary PrimerosValores(const SolicitudVenta& s) {
  return PrimerosValoresVenta(s, kErrorLectura,
                              {"Affiliation", "OperType", "EMV_Tags", "ARQC", "AID", "CardType",
                               "IssuingBank", "ID_Terminal", "Num_Sec"});
}

// One sale on the terminal; the object lives for the length of VentaOptimum.
class Venta {
 public:
  Venta(EntornoVenta& entorno, const SolicitudVenta& solicitud)
      : e_(entorno), s_(solicitud), resultado_(PrimerosValores(solicitud)) {}

  void Corre() {
    e_.link.SetFormat(kFormat);
    e_.link.Abre(e_.puerto);
    e_.link.LimpiaBuffer();
    e_.link.DetieneLector();

    std::optional<std::int16_t> estado = PideTarjeta();
    if (!estado) return;
    for (int pasada = 1; pasada <= kPasadas; ++pasada) {
      switch (*estado) {
        case 0:
          Cobra();
          return;
        case 10:
          Muestra("OPERACION CANCELADA");
          Termina("OPERACION CANCELADA");
          return;
        case 11:
          Termina("NO SE DETECTO TARJETA");
          return;
        case 12:
          Termina("TARJETA INVALIDA");
          return;
        case 13:
          Termina("CARGA DE LLAVE FALLIDA");
          return;
        case 14:
          Termina("ERROR LECTURA PIN");
          return;
        case 15:
          Termina("Tarjeta Vencida");
          return;
        case 16:
          // The terminal asks for the card again: a new request, with the time of now.
          if (pasada == kPasadas) return;
          estado = PideTarjeta();
          if (!estado) return;
          break;
        case 99:
          Muestra("Error al leer la tarjeta.");
          return;
        default:
          return;
      }
    }
  }

  Dictionary Resultado() && { return std::move(resultado_); }

 private:
  // The card request and its answer read into tarjeta_; nullopt when the amounts cannot be
  // written into the request (nothing is sent then).
  std::optional<std::int16_t> PideTarjeta() {
    const std::string c54 = optimum_.C54(s_.Amount, s_.Tip, platform::LocalNow());
    if (c54.empty()) {
      Termina(kMontoNoEnviable);
      e_.op.MessageBox("TOVALIX: " + std::string(kMontoNoEnviable), Operator::kPlain, "");
      return std::nullopt;
    }
    const std::int16_t estado = EnviaRecibeOptimum(e_.link, c54, kCodigoTarjeta);
    tarjeta_ = optimum_.ObtenTrack(serial::TextoAHex(e_.link.BufferRecepcion()));
    return estado;
  }

  void Cobra() {
    const std::string& modo_texto = tarjeta_.Item("PosEntryMode");
    const std::int16_t modo = IsNumeric(modo_texto) ? ToInteger(modo_texto) : 0;
    if (modo < 1 || modo > 3) {
      Muestra("Error al leer la tarjeta. Reintente");
      return;
    }
    const bool chip = modo == 2;
    const gateway::PinPad registro = RegistroVenta(s_, e_.parametros, tarjeta_, modo, chip);
    resultado_ = gateway::WebSale(registro, "OPTIMUM", e_.parametros.UrlGateway, s_.TimeOut, e_.op);
    if (chip) AvisaResultadoChip();
  }

  // The chip card always hears the outcome, the one the host gets.
  void AvisaResultadoChip() {
    const std::string aviso = optimum_.Notify(gateway::Aprobada(resultado_) ? "00" : "01");
    if (!aviso.empty()) EnviaOptimum(e_.link, aviso, kCodigoTarjeta);
  }

  // A display message; its outcome is not examined.
  void Muestra(std::string_view texto) {
    const std::string mensaje = optimum_.ArmaMensaje(texto);
    if (!mensaje.empty()) EnviaOptimum(e_.link, mensaje, kCodigoMensaje);
  }

  void Termina(std::string_view mensaje) {
    resultado_.Set("Response_Message", std::string(mensaje));
  }

  EntornoVenta& e_;
  const SolicitudVenta& s_;
  OPTIMUM optimum_;
  Dictionary resultado_;
  Dictionary tarjeta_;
};

}  // namespace

Dictionary VentaOptimum(EntornoVenta& entorno, const SolicitudVenta& solicitud) {
  Venta venta(entorno, solicitud);
  RunTrapped(entorno.op, [&] { venta.Corre(); });
  entorno.link.DetieneLector();
  entorno.link.Cierra();
  return std::move(venta).Resultado();
}

std::string SerieOptimum(serial::SerialLink& link, Operator& op) {
  std::string serie;
  RunTrapped(op, [&] {
    const std::string c57 = OPTIMUM().C57();
    if (c57.empty()) return;
    link.SetFormat(kFormat);
    if (EnviaOptimum(link, c57, "57") != 1) return;
    // The serial number runs to the end of the message: its length is the frame's length
    // digits (just before "P57A") less the four characters of "P57A".
    const std::string& buffer = link.BufferRecepcion();
    const std::size_t at = buffer.find("P57A");
    if (at == std::string::npos || at < 3) return;  // no frame around it
    const std::string_view digitos = std::string_view(buffer).substr(at - 3, 3);
    for (const char c : digitos) {
      if (c < '0' || c > '9') return;  // not the length of a frame
    }
    const int largo = std::stoi(std::string(digitos)) - 4;
    if (largo <= 0) return;
    const std::size_t fin = std::min(buffer.find(serial::kEtx, at), at + 4 + largo);
    serie = buffer.substr(at + 4, fin - (at + 4));
  });
  return serie;
}

}  // namespace tovalix::drivers::optimum
