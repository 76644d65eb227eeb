// The Nurit 293's operations: preparation, the sale with its gateway call and chip answer, the
// card reading of the counter services, the display and the report of the library's failures.
#include "drivers/nurit293/commands.hpp"

#include <cstdio>
#include <optional>
#include <utility>

#include "common/card_data_mask.hpp"
#include "common/error_report.hpp"
#include "common/failure.hpp"
#include "common/number_text.hpp"
#include "gateway/pin_pad.hpp"
#include "gateway/sale_journal.hpp"
#include "serial/generales.hpp"
#include "serial/port_discovery.hpp"

namespace tovalix::drivers::nurit293 {
namespace {

// The first result of a sale: every key the host reads, "nothing reached the gateway".
Dictionary PrimerResultado(const Dictionary& entrada, const std::string& mensaje,
                           bool num_sec_antes_de_tags) {
  Dictionary r;
  r.Add("ID_Store", entrada.Item("ID_Store"));
  r.Add("Truncated", "");
  r.Add("Amount", entrada.Item("Amount"));
  r.Add("Tip", entrada.Item("Tip"));
  r.Add("Total", entrada.Item("Total"));
  r.Add("ID_Transaction", entrada.Item("ID_Transaction"));
  r.Add("ID_Tx", "-3");
  r.Add("Operation_Type", entrada.Item("Operation_Type"));
  r.Add("Authorization_Number", entrada.Item("Authorization_Number"));
  r.Add("Response_Message", mensaje);
  for (const char* key : {"Affiliation", "OperType", "CardType", "IssuingBank", "ID_Terminal"}) {
    r.Add(key, "");
  }
  if (num_sec_antes_de_tags) r.Add("Num_Sec", "");
  r.Add("EMV_Tags", "");
  r.Add("ARQC", "");
  r.Add("AID", "");
  if (!num_sec_antes_de_tags) r.Add("Num_Sec", "");
  return r;
}

double ADouble(const std::string& text) {
  const std::optional<double> value = ParseNumber(text);
  if (!value) throw Failure("No coinciden los tipos");
  return *value;
}

// An amount of the input, exact to the centavo as the control wrote it.
Money AMoney(const std::string& text) {
  const std::optional<Money> value = Money::Parse(text);
  if (!value) throw Failure("No coinciden los tipos");
  return *value;
}

bool CuatroDigitos(std::string_view text) {
  if (text.size() != 4) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool EmpiezaConCom(std::string_view port) {
  if (port.size() < 3) return false;
  for (std::size_t i = 0; i < 3; ++i) {
    if ((port[i] & ~0x20) != "COM"[i]) return false;
  }
  return true;
}

// The log line of Falla: date, a blank, time and the text right after it, then a CR of its
// own before the line end.
void AnotaFalla(const std::string& texto) noexcept {
  try {
    const platform::WallTime now = platform::LocalNow();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d/%02d/%04d %02d:%02d:%02d", now.date.day,
                  now.date.month, now.date.year, now.hour, now.minute, now.second);
    const std::string line = std::string(stamp) + MaskCardData(texto) + "\r\r\n";
    if (std::FILE* file = std::fopen(LogFilePath().c_str(), "ab")) {
      std::fwrite(line.data(), 1, line.size(), file);
      std::fclose(file);
    }
  } catch (...) {
    // The line is lost, the report goes on.
  }
}

}  // namespace

NURIT293::NURIT293(Nurit293Library& library, Operator& op, const platform::Clock& clock, Hoy hoy)
    : library_(library), op_(op), clock_(clock), hoy_(std::move(hoy)) {
  if (!hoy_) hoy_ = [] { return platform::LocalNow().date; };
}

std::string NURIT293::TextoFalla(const LibraryError& error) {
  return "FALLA " + std::string(error.number >= 0 ? " " : "") + std::to_string(error.number) + ":" +
         error.description;
}

void NURIT293::Falla() {
  const std::string texto = TextoFalla(error_);
  ShowError(op_, texto);
  AnotaFalla(texto);
  EndTransaction();
  ReleaseDevice();
  preparado_ = 0;
}

std::int16_t NURIT293::startTransaction() {
  const std::int16_t status = estado_ = library_.VB_startTransaction(error_);
  if (status != 0) Falla();
  return status;
}

std::int16_t NURIT293::EndTransaction() {
  estado_ = library_.VB_endTransaction(error_);
  return estado_;
}

std::int16_t NURIT293::ReleaseDevice() {
  estado_ = library_.VB_releaseDevice(error_);
  return estado_;
}

std::int16_t NURIT293::DespliegaTexto(const std::string& texto) {
  std::int16_t status = 0;
  RunTrappedShowOnly(op_, [&] {
    status = estado_ = library_.VB_displayText(texto, error_);
    if (status != 0) Falla();
  });
  return status;
}

std::int16_t NURIT293::Prepara(const std::string& puerto) {
  if (preparado_ != 0) return 0;
  preparado_ = 1;
  configuracion_.RemoveAll();
  configuracion_.Add("Port", puerto);
  configuracion_.Add("BaudRate", "19200");
  configuracion_.Add("Parity", "N");
  configuracion_.Add("StopBits", "1");
  configuracion_.Add("DataBits", "8");
  const std::int16_t status = estado_ =
      library_.VB_prepareDevice(std::string(kNombreDispositivo), configuracion_, error_);
  if (status != 0) Falla();
  return status;
}

std::int16_t NURIT293::PreparaDispositivo() {
  if (preparado_ != 0) return 1;
  std::int16_t status = 0;
  RunTrapped(op_, [&] { status = Prepara(serial::DefinePuerto(kDispositivoPuerto, op_)); });
  return status;
}

bool NURIT293::Cierra() {
  if (preparado_ == 0) return true;  // Falla has already ended and released
  if (EndTransaction() != 0) {
    Falla();
    return false;
  }
  if (ReleaseDevice() != 0) {
    Falla();
    return false;
  }
  preparado_ = 0;
  return true;
}

void NURIT293::MensajeAplicacion(const std::string& texto) {
  op_.MessageBox(texto, Operator::kPlain, std::string(kTituloMensaje));
}

bool NURIT293::EsChipConServicio(const Dictionary& tarjeta) {
  // The 22nd character of track 2 is the service code's first digit for a 16-digit number.
  const std::string& track2 = tarjeta.Item("Track2");
  return tarjeta.Item("PosEntryMode") == "Chip" && track2.size() > 21 &&
         (track2[21] == '2' || track2[21] == '6');
}

Dictionary NURIT293::UnicaBancaria(const Dictionary& entrada, const std::string& url_gateway,
                                   const std::string& timeout) {
  Dictionary resultado = PrimerResultado(entrada, "ERROR EN LECTURA DE TARJETA, REINTENTE", false);
  respuesta_gateway_ = false;
  try {
    const std::string& puerto = entrada.Item("Port");
    if (preparado_ == 0 && Prepara(puerto) != 0) {
      // The terminal misbehaves on ports above COM9; other names carry no such number.
      if (EmpiezaConCom(puerto) && ToInteger(puerto.substr(3)) > 9) {
        op_.MessageBox("El puerto asignado es " + puerto +
                           " y debe ser menor o igual a 9. Reasignelo y vuelva a intentar.",
                       Operator::kPlain, "");
      }
      return resultado;
    }
    const std::string& total = entrada.Item("Total");
    if (TrimBlanks(total).empty()) {
      resultado.Set("Response_Message", "No definió el Monto del Pago");
      MensajeAplicacion("TOVALIX: No definió el Monto del Pago.");
      return resultado;
    }
    const std::optional<double> monto = ParseNumber(total);
    if (!monto) {
      resultado.Set("Response_Message", "El Monto del Pago debe ser numérico");
      MensajeAplicacion("TOVALIX: El Monto del Pago debe ser numérico.");
      return resultado;
    }
    if (!(*monto > 0)) {
      resultado.Set("Response_Message", "El Monto del Pago no puede ser menor o igual a cero.");
      MensajeAplicacion("TOVALIX: El Monto del Pago no puede ser menor o igual a cero.");
      return resultado;
    }
    if (startTransaction() != 0) return resultado;
    Dictionary leido = LeoTarjetaProcesa(entrada, url_gateway, timeout);
    const bool cerrado = Cierra();
    // Once the gateway has answered, its answer is what the host must see even when the
    // terminal could not be closed: a sale reported as "nothing sent" would be charged twice.
    if (cerrado || respuesta_gateway_) resultado = std::move(leido);
  } catch (...) {
    ReportError(op_, DescribeCurrentException());
    if (preparado_ != 0) {
      if (ReleaseDevice() != 0) {
        Falla();
      } else {
        preparado_ = 0;
      }
    }
  }
  return resultado;
}

Dictionary NURIT293::LeoTarjetaProcesa(const Dictionary& entrada, const std::string& url_gateway,
                                       const std::string& timeout) {
  Dictionary resultado =
      PrimerResultado(entrada, "ERROR DE LECTURA DE LA TARJETA,REINTENTAR", true);
  RunTrapped(op_, [&] {
    if (!(ParseNumber(entrada.Item("Total")).value_or(0.0) > 0)) {
      resultado.Set("Response_Message",
                    "El Importe de la Transacción no puede ser menor o igual a cero");
      MensajeAplicacion("TOVALIX: El Importe de la Transacción no puede ser menor o igual a cero.");
      return;
    }
    Dictionary transaccion;
    transaccion.Add("Total", entrada.Item("Total"));
    Dictionary tarjeta;
    estado_ = library_.VB_readCardEx(transaccion, tarjeta, error_);
    if (estado_ != 0) {
      Falla();
      return;
    }
    const std::string track2 = tarjeta.Item("Track2");
    if (track2.empty()) {
      DespliegaTexto("ERROR DE LECTURA REINTENTE");
      serial::Pausa(3, op_, clock_);
      resultado.Set("Response_Message", "ERROR EN LECTURA.");
      DespliegaTexto("Verifone");
      return;
    }
    if (const std::size_t igual = track2.find('='); igual != std::string::npos) {
      const std::string fecha = track2.substr(igual + 1, 4);
      if (CuatroDigitos(fecha) && !serial::TarjetaVigente(fecha, op_, hoy_())) {
        resultado.Set("Response_Message", "TARJETA EXPIRADA");
        op_.MessageBox("TOVALIX: Tarjeta Expirada", Operator::kPlain, "");
        DespliegaTexto("Verifone");
        return;
      }
    }

    gateway::PinPad registro;
    registro.ID_Store(ToLong(entrada.Item("ID_Store")));
    registro.Amount(AMoney(entrada.Item("Amount")));
    registro.Tip(AMoney(entrada.Item("Tip")));
    registro.Total(AMoney(entrada.Item("Total")));
    registro.Cvv2(entrada.Item("Cvv2"));
    registro.FunctionType(ToInteger(entrada.Item("FunctionType")));
    registro.ID_Transaction(ToLong(entrada.Item("ID_Transaction")));
    registro.Serial(entrada.Item("Serial"));
    registro.PTid(entrada.Item("PTid"));
    registro.Operation_Type(ToInteger(entrada.Item("Operation_Type")));
    registro.Authorization_Number(entrada.Item("Authorization_Number"));
    registro.ID_Client_Tx(ToLong(entrada.Item("ID_Client_Tx")));
    registro.ID_Server_Tx(ToLong(entrada.Item("ID_Server_Tx")));
    registro.NumberOfPayments(entrada.Item("NumberOfPayments"));
    registro.PlanType(entrada.Item("PlanType"));
    registro.InitialDeferment(entrada.Item("InitialDeferment"));
    registro.track2(track2);
    registro.track1(tarjeta.Item("Track1"));
    const std::string& modo = tarjeta.Item("PosEntryMode");
    if (modo == "Chip") {
      const Dictionary tags = TagsValidos(tarjeta.Item("EMVTags"));
      registro.emv_tags(tags.Item("EMV_Tags"));
      registro.ARQC(tags.Item("ARQC"));
      registro.AID(tags.Item("AID"));
      registro.Pos_entry_mode(2);
    } else {
      registro.Pos_entry_mode(modo == "MagStripe" ? 1 : 3);
    }

    DespliegaTexto("Procesando...");
    resultado = gateway::WebSale(registro, "NURIT293", url_gateway, timeout, op_);
    respuesta_gateway_ = true;

    if (EsChipConServicio(tarjeta)) {
      // The chip hears the approval the host gets; a refusal is told apart from no answer.
      const std::string autorizacion = resultado.Item("Authorization_Number");
      Dictionary desenlace;
      if (gateway::Aprobada(resultado)) {
        desenlace.Add("Result", "Approved");
      } else if (resultado.Item("Response_Message") == "DECLINADA") {
        desenlace.Add("Result", "Declined");
      } else {
        desenlace.Add("Result", "No response");
      }
      desenlace.Add("AuthCode", autorizacion);
      estado_ = library_.VB_notifyResult(desenlace, error_);  // a refusal is not reported
    }
    DespliegaTexto("Verifone");
  });
  return resultado;
}

Dictionary NURIT293::LeeTarjeta(const Dictionary& entrada, const std::string& puerto) {
  Dictionary resultado;
  resultado.Add("Amount", entrada.Item("Amount"));
  resultado.Add("Tip", entrada.Item("Tip"));
  resultado.Add("Operation_Type", entrada.Item("Operation_Type"));
  for (const char* key : {"Cvv2", "Track2", "Track1", "EMV_Tags", "ARQC", "AID", "ServiceCode",
                          "Exp", "Pos_entry_mode"}) {
    resultado.Add(key, "");
  }
  resultado.Add("Response_Message", "ERROR");
  RunTrapped(op_, [&] {
    if (Prepara(puerto) != 0) return;
    if (startTransaction() != 0) return;
    std::optional<std::string> total;
    if (ToInteger(entrada.Item("Operation_Type")) == 3) {
      total = "0.00";  // a balance query charges nothing
    } else if (ADouble(entrada.Item("Amount")) >= 0) {
      total = entrada.Item("Amount");
    } else {
      MensajeAplicacion("TOVALIX: El Importe de la Transacción no puede ser menor o igual a cero.");
    }
    if (total) {
      Dictionary transaccion;
      transaccion.Add("Total", *total);
      Dictionary tarjeta;
      estado_ = library_.VB_readCardEx(transaccion, tarjeta, error_);
      if (estado_ != 0) {
        Falla();
        return;
      }
      if (tarjeta.Item("Track2").empty()) {
        DespliegaTexto("ERROR DE LECTURA REINTENTE");
        serial::Pausa(2, op_, clock_);
        resultado.Set("Response_Message", "ERROR EN LECTURA");
      } else {
        const bool chip = EsChipConServicio(tarjeta);
        if (chip) {
          Dictionary desenlace;
          desenlace.Add("Result", "Approved");
          desenlace.Add("AuthCode", "00000");
          estado_ = library_.VB_notifyResult(desenlace, error_);
        }
        const Dictionary tags = chip ? TagsValidos(tarjeta.Item("EMVTags")) : Dictionary();
        resultado.RemoveAll();
        resultado.Add("Amount", entrada.Item("Amount"));
        resultado.Add("Tip", entrada.Item("Tip"));
        resultado.Add("Track2", tarjeta.Item("Track2"));
        resultado.Add("Track1", tarjeta.Item("Track1"));
        resultado.Add("EMV_Tags", tags.Item("EMV_Tags"));
        resultado.Add("ARQC", tags.Item("ARQC"));
        resultado.Add("AID", tags.Item("AID"));
        resultado.Add("Response_Message", "OK");
      }
    }
    DespliegaTexto("Verifone");
    Cierra();
  });
  return resultado;
}

void NURIT293::MandaMensajePinPad(const std::string& mensaje, const std::string& puerto) {
  RunTrapped(op_, [&] {
    if (Prepara(puerto) != 0) return;
    DespliegaTexto(mensaje);
    Cierra();
  });
}

Dictionary UnicaBancaria(const Dictionary& entrada, const std::string& url_gateway,
                         const std::string& timeout, Operator& op, const platform::Clock& clock) {
  Dictionary resultado;
  RunTrapped(op, [&] {
    const std::unique_ptr<Nurit293Library> library = LoadNurit293LibraryFromEnvironment();
    NURIT293 nurit(*library, op, clock);
    resultado = nurit.UnicaBancaria(entrada, url_gateway, timeout);
  });
  return resultado;
}

}  // namespace tovalix::drivers::nurit293
