// The Nurit 293 terminal, driven through its vendor library rather than over the serial link.
// The library opens the port, reads the card and completes chip transactions; this class adds
// the serial settings, the checks of the amount and of the card's expiry, the transaction
// record and its posting to the gateway, the answer to the chip, the texts on the terminal's
// display and the reporting of the library's failures. One object per operation.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "drivers/nurit293/nurit293_library.hpp"
#include "drivers/sale_request.hpp"
#include "platform/clock.hpp"

namespace tovalix::drivers::nurit293 {

inline constexpr std::string_view kNombreDispositivo = "NURIT293";
// The device name under which PreparaDispositivo looks up its port.
inline constexpr std::string_view kDispositivoPuerto = "\\device\\slabser0";
inline constexpr std::string_view kTituloMensaje = "MENSAJE DE LA APLICACION";

// The amounts a sale can carry: the library takes the total as text, so the widest amount.
inline constexpr CapacidadImporte kCapacidadImporte{Money::kMaxCentavos, false};

class NURIT293 {
 public:
  using Hoy = std::function<platform::CalendarDate()>;

  // `library` must outlive the object. `hoy` gives today's date for the expiry check (the
  // local calendar when empty); `clock` measures the pauses.
  NURIT293(Nurit293Library& library, Operator& op, const platform::Clock& clock, Hoy hoy = {});

  // The serial settings handed to the library: Port, BaudRate, Parity, StopBits, DataBits.
  const Dictionary& Configuracion() const { return configuracion_; }
  // Status of the last library call; 0 is success.
  std::int16_t Estado() const { return estado_; }
  // 1 while the device is prepared.
  std::int16_t Preparado() const { return preparado_; }
  // The error object as the last failing library call left it.
  const LibraryError& Error() const { return error_; }

  // The library's transaction calls; the status also goes to Estado. Only startTransaction
  // runs Falla when it fails.
  std::int16_t startTransaction();
  std::int16_t EndTransaction();
  std::int16_t ReleaseDevice();

  // A card sale (or cancellation, or verification) for the dispatch of PagoTarjeta. `entrada`
  // holds ID_Store, Amount, Tip, Total, ID_Transaction, Operation_Type, Authorization_Number,
  // Port, Cvv2, FunctionType, Serial, PTid, InitialDeferment, NumberOfPayments, PlanType,
  // ID_Client_Tx and ID_Server_Tx; `timeout` is in whole seconds.
  Dictionary UnicaBancaria(const Dictionary& entrada, const std::string& url_gateway,
                           const std::string& timeout);

  // Reads the card, posts the sale to the gateway and answers the chip; within a started
  // transaction. The gateway's answer is the result once the gateway was reached.
  Dictionary LeoTarjetaProcesa(const Dictionary& entrada, const std::string& url_gateway,
                               const std::string& timeout);

  // Reads a card without the gateway, for the counter services. `entrada` holds Amount, Tip
  // and Operation_Type. The result carries the tracks (for the caller only, never logged).
  Dictionary LeeTarjeta(const Dictionary& entrada, const std::string& puerto);

  // Shows `mensaje` on the terminal on `puerto` and releases it.
  void MandaMensajePinPad(const std::string& mensaje, const std::string& puerto);

  // EMV_Tags, ARQC and AID from the library's chip data (hex digits: tag, one-byte length in
  // two hex digits, value). Survives any input.
  Dictionary TagsValidos(std::string_view chip) const;

  // Shows `texto` on the terminal; Falla when the library refuses it. Returns the status.
  std::int16_t DespliegaTexto(const std::string& texto);

  // Prepares the device on the port of "\device\slabser0": the status, or 1 when it was
  // already prepared.
  std::int16_t PreparaDispositivo();

  // Reports the error object ("FALLA  5:text" in a plain box and in tovalix.log), then ends
  // the transaction and releases the device.
  void Falla();

  // "FALLA " + the number (a leading blank when not negative) + ":" + the description.
  static std::string TextoFalla(const LibraryError& error);

 private:
  // The preparation shared by the operations, only when the device is not prepared: the
  // library's status (0 also when it was prepared already); a failure went through Falla.
  std::int16_t Prepara(const std::string& puerto);
  // Ends the transaction and releases the device unless Falla already did; true when both
  // succeeded.
  bool Cierra();
  // The chip outcome of a card: a chip reading and a service code starting with 2 or 6.
  static bool EsChipConServicio(const Dictionary& tarjeta);
  void MensajeAplicacion(const std::string& texto);

  Nurit293Library& library_;
  Operator& op_;
  const platform::Clock& clock_;
  Hoy hoy_;
  Dictionary configuracion_;
  std::int16_t estado_ = 0;
  std::int16_t preparado_ = 0;
  LibraryError error_;
  bool respuesta_gateway_ = false;  // LeoTarjetaProcesa holds the gateway's answer
};

// The Nurit 293 sale of PagoTarjeta: loads the library named by TOVALIX_NURIT293_LIB, runs
// UnicaBancaria on a fresh NURIT293 and returns its result. A library that cannot be loaded
// is reported like any failure of the terminal ("FALLA  53:...") and nothing reaches the
// gateway. Never throws.
Dictionary UnicaBancaria(const Dictionary& entrada, const std::string& url_gateway,
                         const std::string& timeout, Operator& op, const platform::Clock& clock);

}  // namespace tovalix::drivers::nurit293
