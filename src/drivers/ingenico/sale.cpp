#include "drivers/ingenico/sale.hpp"

#include "drivers/ingenico/exchange.hpp"

#include <string>
#include <string_view>

#include "common/error_report.hpp"
#include "common/failure.hpp"
#include "common/number_text.hpp"
#include "drivers/ingenico/commands.hpp"
#include "gateway/pin_pad.hpp"
#include "gateway/sale_journal.hpp"
#include "serial/generales.hpp"

namespace tovalix::drivers::ingenico {
namespace {

constexpr std::string_view kPideTarjeta = "Inserte /Deslice ";
constexpr int kIntentos = 3;

// How the reading attempts ended.
enum class Reading {
  kCard,    // a card was read: go on to the sale
  kRemove,  // no card read: ask for it to be removed
  kEnd,     // the reading ended (cancelled, removed, an exchange failed)
};

class Venta {
 public:
  Venta(EntornoVenta& entorno, const SolicitudVenta& solicitud, Modelo modelo)
      : e_(entorno), s_(solicitud), modelo_(modelo) {}

  Dictionary Run() {
    result_ = FirstValues();
    RunTrapped(e_.op, [&] { Flow(); });
    // Closed on every path: after a run-time error too, so the next sale finds the port free.
    e_.link.Cierra();
    return std::move(result_);
  }

 private:
  Dictionary FirstValues() const {
    return PrimerosValoresVenta(s_, "ERROR DE LECTURA DE LA TARJETA,REINTENTAR",
                                {"Affiliation", "OperType", "CardType", "ARQC", "AID", "EMV_Tags",
                                 "IssuingBank", "ID_Terminal", "Num_Sec"});
  }

  void Flow() {
    e_.link.SetFormat(kFormat);
    e_.link.Abre(e_.puerto);
    Comando(Driver().ArmaLogo());
    if (Lee(0)) {
      switch (Attempts()) {
        case Reading::kCard:
          Vende();
          break;
        case Reading::kRemove:
          Recibe(Driver().RetireTarjeta("ERROR EN LECTURA DE CHIP"), kCodigoRMV);
          result_.Set("Response_Message", "ERROR EN LECTURA DE CHIP");
          break;
        case Reading::kEnd:
          break;
      }
    }
    Comando(Driver().ArmaLogo());
  }

  // The command set stamps the current date and time into IC0 and IC1.
  Ingenico Driver() const { return Ingenico(e_.op, platform::LocalNow()); }

  // A frame its builder refused ("") is a failed exchange, never an empty write.
  bool Comando(const std::string& frame) {
    return !frame.empty() && e_.link.EnviaComando(frame) == 1;
  }
  bool Recibe(const std::string& frame, std::string_view codigo) {
    return !frame.empty() && EnviaRecibe(e_.link, frame, codigo) == 1;
  }
  bool Muestra(std::string texto) { return Comando(Driver().ArmaMensaje(texto)); }

  // One IC0 exchange and its parse. False when the exchange failed or the answer could not be
  // parsed (the parser has reported that): the reading ends.
  bool Lee(std::int16_t modo) {
    if (!Recibe(Driver().IC0(s_.Amount, s_.Tip, std::string(kPideTarjeta)), kCodigoIC0)) {
      return false;
    }
    std::optional<Dictionary> tracks =
        Driver().ObtenTracks(serial::TextoAHex(e_.link.BufferRecepcion()), modo);
    if (!tracks) return false;
    tracks_ = std::move(*tracks);
    return true;
  }

  // Up to three attempts, each acting on the status of the latest reading.
  Reading Attempts() {
    for (int intento = 1; intento <= kIntentos; ++intento) {
      const std::string& status = tracks_.Item("Status");
      const bool ultimo = intento == kIntentos;
      bool pausa = true;
      std::int16_t modo = 0;
      if (status == "00") {
        e_.modo_entrada = 2;
        return Reading::kCard;
      } else if (status == "01") {
        if (ultimo) return Reading::kRemove;
      } else if (status == "02") {
        Muestra("RETIRO TARJETA  ANTES DE TIEMPO");
        result_.Set("Response_Message", "TARJETA RETIRADA ANTES DE TIEMPO");
        return Reading::kEnd;
      } else if (status == "03") {
        Muestra("COBRO CANCELADO");
        result_.Set("Response_Message", "COBRO CANCELADO");
        return Reading::kEnd;
      } else if (status == "04") {
        pausa = false;  // the PIN pad falls back to the stripe: read again at once
        modo = 3;
      } else if (status == "05") {
        e_.modo_entrada = 3;
        return Reading::kCard;
      } else if (status == "06") {
        const std::string& codigo = tracks_.Item("ServiceCode");
        if (codigo != "2" && codigo != "6") {
          e_.modo_entrada = 1;
          return Reading::kCard;
        }
        if (ultimo) {
          Muestra("UTILICE OTRA    FORMA DE PAGO");
          return Reading::kEnd;
        }
        if (!Muestra("TARJETA CON CHIP   INSERTE")) return Reading::kEnd;
      } else if (status == "07") {
        if (ultimo) {
          Muestra("ERROR USE OTRO  MEDIO DE PAGO");
          return Reading::kEnd;
        }
        if (!Muestra("ERROR LECTURA DE BANDA REINTENTE")) return Reading::kEnd;
      } else {
        if (intento > 1) {
          Muestra("ERROR, USE OTRO MEDIO DE PAGO");
          return Reading::kEnd;
        }
        if (!Muestra("ERROR EN LECTURA REINTENTE")) return Reading::kEnd;
      }
      if (pausa) serial::Pausa(1, e_.op, e_.clock);
      if (!Lee(modo)) return Reading::kEnd;
    }
    return Reading::kRemove;
  }

  // A card was read: expiry, the gateway, and a chip card's completion.
  void Vende() {
    // A chip card's expiry is the card's own business.
    if (e_.modo_entrada != 2) {
      const std::string& exp = tracks_.Item("Exp");
      if (!exp.empty() && !serial::TarjetaVigente(exp, e_.op)) {
        result_.Set("Response_Message", "TARJETA VENCIDA");
        Muestra("TARJETA EXPIRADA");
        return;
      }
    }
    Comando(Driver().ArmaLogo());

    const gateway::PinPad record =
        RegistroVenta(s_, e_.parametros, tracks_, e_.modo_entrada, /*con_datos_chip=*/true);
    result_ = gateway::WebSale(record, modelo_ == Modelo::kIngenico3070 ? "INGENICO3070" : "IPP320",
                               e_.parametros.UrlGateway, s_.TimeOut, e_.op);

    if (e_.modo_entrada != 2) return;  // a swiped card is done
    const std::string autorizacion = result_.Item("Authorization_Number");
    if (!TrimBlanks(autorizacion).empty()) {
      const std::string status = gateway::Aprobada(result_) ? "00" : "01";
      if (!Recibe(Driver().IC1(status, status, autorizacion), kCodigoIC1)) return;
    }
    Comando(Driver().LimpiaPantalla());
    Recibe(Driver().RetireTarjeta(" RETIRE TARJETA"), kCodigoRMV);
  }

  EntornoVenta& e_;
  const SolicitudVenta& s_;
  const Modelo modelo_;
  Dictionary result_;
  Dictionary tracks_;
};

}  // namespace

Dictionary VentaIngenico(EntornoVenta& entorno, const SolicitudVenta& solicitud, Modelo modelo) {
  return Venta(entorno, solicitud, modelo).Run();
}

}  // namespace tovalix::drivers::ingenico
