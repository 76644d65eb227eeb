#include "drivers/vx810/sale.hpp"

#include <optional>
#include <string>
#include <string_view>

#include "common/error_report.hpp"
#include "common/number_text.hpp"
#include "drivers/vx810/commands.hpp"
#include "gateway/pin_pad.hpp"
#include "gateway/sale_journal.hpp"
#include "serial/generales.hpp"

namespace tovalix::drivers::vx810 {
namespace {

constexpr char kEnq = 0x05;

// Expected answer codes, as compact hex.
constexpr std::string_view kCodigoI02 = "493032";
constexpr std::string_view kCodigoC23 = "433233";
constexpr std::string_view kCodigoC30 = "433330";
constexpr std::string_view kCodigoC31 = "4333";  // the C33 answer, or the PIN pad's own C31
constexpr std::string_view kCodigoC34 = "433334";

constexpr std::string_view kErrorDeLectura = "ERROR DE LECTURA";

// Where a step leaves the sale.
enum class Next {
  kGateway,  // post the record (step 9)
  kClose,    // the closing idle sequence (step 10)
  kRelease,  // straight to the release (step 11): an exchange failed
};

Dictionary PrimerosValores(const SolicitudVenta& s) {
  return PrimerosValoresVenta(s, "ERROR EN LECTURA DE TARJETA, REINTENTE",
                              {"Affiliation", "OperType", "EMV_Tags", "ARQC", "AID", "CardType",
                               "IssuingBank", "ID_Terminal", "Num_Sec"});
}

// The character that follows the first `command` in the answer ("" when there is none).
std::string Siguiente(std::string_view answer, std::string_view command) {
  const std::size_t at = answer.find(command);
  if (at == std::string_view::npos || at + command.size() >= answer.size()) return "";
  return std::string(answer.substr(at + command.size(), 1));
}

class Venta {
 public:
  Venta(EntornoVenta& entorno, const SolicitudVenta& solicitud)
      : e_(entorno), s_(solicitud), link_(entorno.link), result_(PrimerosValores(solicitud)) {}

  Dictionary Run() {
    e_.modo_entrada = 0;
    RunTrapped(e_.op, [&] { Steps(); });
    // Release: the reader stopped and the port closed, whatever happened above.
    link_.DetieneLector();
    link_.Cierra();
    return result_;
  }

 private:
  void Steps() {
    link_.SetFormat(kFormat);
    link_.Abre(e_.puerto);
    // Wake-up: ENQ alone, unframed.
    link_.LimpiaBuffer();
    link_.ActivaLector();
    if (link_.EnviaComando(std::string(1, kEnq)) != 1) return;
    link_.DetieneLector();
    if (!Idle()) return;

    const Next next = Read();
    if (next == Next::kRelease) return;
    if (next == Next::kGateway) {
      result_ = Gateway();
      // The chip hears the approval the host gets: the response code "00" (approved) or
      // "05" (not approved), two characters in spaced hex.
      const char* codigo = gateway::Aprobada(result_) ? "30 30 " : "30 35 ";
      if (e_.modo_entrada == 2 && !Intercambio(vx_.C34(codigo), kCodigoC34)) {
        return;
      }
    }
    Idle();
  }

  bool Intercambio(const std::string& frame, std::string_view codigo) {
    return link_.EnviaRecibe(frame, codigo) == 1;
  }
  bool Muestra(std::string_view texto) { return link_.EnviaComando(vx_.ArmaMensaje(texto)) == 1; }
  // Displays whose outcome the sale does not depend on.
  void Avisa(std::string_view texto) { Muestra(texto); }

  // The idle sequence: I02 until the PIN pad answers 0, 72, C23. False when an exchange
  // failed (or the PIN pad stayed busy past kIdleTimeout).
  bool Idle() {
    const double limite = e_.clock.Now() + kIdleTimeout;
    for (;;) {
      if (!Intercambio(vx_.ArmaSimple("I02"), kCodigoI02)) return false;
      // A character that is not a digit is a run-time failure of the sale.
      if (ToInteger(Siguiente(link_.BufferRecepcion(), "I02")) == 0) break;
      if (e_.clock.Now() >= limite) return false;
    }
    if (link_.EnviaComando(vx_.ArmaSimple("72")) != 1) return false;
    if (!Intercambio(vx_.ArmaSimple("C23"), kCodigoC23)) return false;
    const std::string codigo = Siguiente(link_.BufferRecepcion(), "C23");
    if (codigo != "0" && !Muestra("codigo C23" + codigo)) return false;
    return true;
  }

  // The card data from the answer in the buffer.
  void LeeRespuesta() { tarjeta_ = vx_.ObtenTrack(serial::TextoAHex(link_.BufferRecepcion())); }

  // The C30 exchange and its answer; false when the exchange failed.
  bool LeeTarjeta() {
    if (!Intercambio(vx_.C30(s_.Amount, s_.Tip, platform::LocalNow()), kCodigoC30)) return false;
    LeeRespuesta();
    return true;
  }

  bool Vencida() const {
    const std::string& exp = tarjeta_.Item("Exp");
    return !exp.empty() && !serial::TarjetaVigente(exp, e_.op);
  }
  bool BandaVacia() const {
    return tarjeta_.Item("Status") == "21" && tarjeta_.Item("Track2").empty();
  }

  // Steps 5 to 8: the first read, the empty swipe, the expiry and the status dispatch.
  Next Read() {
    if (!LeeTarjeta()) return Next::kRelease;
    if (BandaVacia()) {
      const std::string deslice = vx_.ArmaMensaje("DESLICE DE NUEVO");
      serial::Pausa(1, e_.op, e_.clock);
      link_.EnviaComando(deslice);
      if (!LeeTarjeta()) return Next::kRelease;
      if (BandaVacia()) {
        result_.Set("Response_Message", std::string(kErrorDeLectura));
        Avisa(kErrorDeLectura);
        return Next::kClose;
      }
    }
    if (Vencida()) {
      result_.Set("Response_Message", "TARJETA VENCIDA");
      Avisa("TARJETA EXPIRADA");
      return Next::kClose;
    }
    e_.modo_entrada = 0;
    for (int pass = 1; pass <= 3; ++pass) {
      if (const auto next = Pass(pass); next) return *next;
    }
    return Next::kGateway;  // three passes without a decision: ModoEntrada stays 0
  }

  // One pass over the card data's status; nullopt goes on with the next pass.
  std::optional<Next> Pass(int pass) {
    const std::string status = tarjeta_.Item("Status");
    if (status == "00" || status == "30") return ReadChip();
    if (status == "06") {
      result_.Set("Response_Message", "NO SE DETECTO TARJETA");
      Avisa("TIMEOUT PARA LECTURA DE TARJETA");
      return Next::kClose;
    }
    if (status == "08") {
      Avisa("OPERACION CANCELADA");
      result_.Set("Response_Message", "OPERACION CANCELADA");
      return Next::kClose;
    }
    if (status == "09") {
      result_.Set("Response_Message", "OPERACION CANCELADA, ERROR EN PUERTO");
      Avisa("ERROR EN PUERTO DE COMUNICACION");
      return Next::kClose;
    }
    if (status == "20") {
      if (pass == 3) return Next::kClose;
      if (!Muestra("TARJETA CON CHIP INSERTE")) return Next::kRelease;
      if (!LeeTarjeta()) return Next::kRelease;
      if (Vencida()) {
        Avisa("TARJETA EXPIRADA");
        result_.Set("Response_Message", "TARJETA VENCIDA");
        return Next::kClose;
      }
      return std::nullopt;
    }
    if (status == "21") {
      // The stripe of a chip card (service code 2xx or 6xx) is the fallback reading.
      const double codigo = LeadingNumber(tarjeta_.Item("ServiceCode"));
      e_.modo_entrada = codigo == 2 || codigo == 6 ? 3 : 1;
      return Next::kGateway;
    }
    if (status == "22") {
      if (pass == 3) {
        Avisa("INTENTE OTRO    MEDIO DE PAGO");
        return Next::kClose;
      }
      if (!LeeTarjeta()) return Next::kRelease;
      return std::nullopt;
    }
    if (status == "23") {
      if (pass >= 2) {
        result_.Set("Response_Message", "TARJETA REMOVIDA ANTES DE TIEMPO");
        return Next::kClose;
      }
      if (!LeeTarjeta()) return Next::kRelease;
      return std::nullopt;
    }
    if (status == "24") {
      Avisa("TARJETA BLOQUEADA");
      result_.Set("Response_Message", "TARJETA BLOQUEADA");
      return Next::kClose;
    }
    Avisa("ERROR" + status);
    return Next::kClose;
  }

  // Status 00 or 30: the chip data (C31, answered with C33).
  std::optional<Next> ReadChip() {
    if (!Intercambio(vx_.C31(s_.Amount, s_.Tip), kCodigoC31)) return Next::kRelease;
    // The PIN pad answered the C31 command itself: no chip data.
    if (link_.BufferRecepcion().find("C31") != std::string::npos) return Next::kClose;
    LeeRespuesta();
    if (Vencida()) {
      Avisa("TARJETA EXPIRADA");
      result_.Set("Response_Message", "TARJETA VENCIDA");
      return Next::kClose;
    }
    if (tarjeta_.Item("Status") == "00") {
      e_.modo_entrada = 2;
      return Next::kGateway;
    }
    return std::nullopt;
  }

  // Step 9: the record, in the order the flow has always filled it, posted for process 11.
  Dictionary Gateway() {
    // Chip data are sent only for a card read on its chip.
    const gateway::PinPad record =
        RegistroVenta(s_, e_.parametros, tarjeta_, e_.modo_entrada, e_.modo_entrada == 2);
    return gateway::WebSale(record, "Vx810", e_.parametros.UrlGateway, s_.TimeOut, e_.op);
  }

  EntornoVenta& e_;
  const SolicitudVenta& s_;
  serial::SerialLink& link_;
  Vx810 vx_;
  Dictionary result_;
  Dictionary tarjeta_;  // the card data of the latest read
};

}  // namespace

Dictionary VentaVx810(EntornoVenta& entorno, const SolicitudVenta& solicitud) {
  return Venta(entorno, solicitud).Run();
}

}  // namespace tovalix::drivers::vx810
