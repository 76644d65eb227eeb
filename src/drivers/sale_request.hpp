// What the control hands a sale flow: the host's arguments of the card payment with the values
// the control adds, and the parts of the control the flow may use. A flow reaches the port
// only through the serial link, the gateway only through the transaction record, the operator
// only through the Operator.
#pragma once

#include <cstdint>
#include <string>

#include <initializer_list>
#include <string_view>
#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "common/money.hpp"
#include "gateway/pin_pad.hpp"

#include "platform/clock.hpp"
#include "serial/serial_link.hpp"
#include "settings/parametros.hpp"

namespace tovalix::drivers {

struct SolicitudVenta {
  std::int32_t ID_Store = 0;
  Money Amount;
  Money Tip;
  Money Total;
  std::int32_t ID_Transaction = 0;
  std::int16_t Operation_Type = 0;
  std::string Authorization_Number;
  std::int32_t ID_Client_Tx = 0;
  std::int32_t ID_Server_Tx = 0;
  std::string InitialDeferment;
  std::string NumberOfPayments;
  std::string PlanType;
  std::string Cvv2;               // the card verification value; empty for PagoTarjeta
  std::int16_t FunctionType = 1;  // 1 for the sales of PagoTarjeta
  std::string TimeOut;            // gateway response time-out, seconds as text
};

// What a model's amount fields carry: at most `maximo` centavos, and with `solo_pesos` whole
// pesos only. The control refuses any other amount before the flow starts.
struct CapacidadImporte {
  std::int64_t maximo = Money::kMaxCentavos;
  bool solo_pesos = false;
};

struct EntornoVenta {
  serial::SerialLink& link;
  const settings::Parametros& parametros;
  const std::string& puerto;   // the port AsignaPuerto found
  std::int16_t& modo_entrada;  // the control's ModoEntrada: 1 stripe, 2 chip, 3 fallback
  Operator& op;
  const platform::Clock& clock;
};

// A flow's result before anything is read: the payment's store and amounts, "-3" for a sale
// that never reached the gateway, `mensaje` as the read error, then `vacias` empty, in order.
Dictionary PrimerosValoresVenta(const SolicitudVenta& s, std::string_view mensaje,
                                std::initializer_list<const char*> vacias);

// The transaction record of a card sale: the payment, the terminal's settings and the card
// read (Track1, Track2, and with `con_datos_chip` also EMV_Tags, ARQC and AID).
gateway::PinPad RegistroVenta(const SolicitudVenta& s, const settings::Parametros& parametros,
                              const Dictionary& tarjeta, std::int16_t pos_entry_mode,
                              bool con_datos_chip);

}  // namespace tovalix::drivers
