// The configuration test of an initialization: asks the gateway whether a store, a PIN pad
// serial number and a terminal number form a registered, active terminal (process 32,
// "CDInitPOS") and fetches the store's data and the terminal's time-outs.
#pragma once

#include <string>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "gateway/pin_pad.hpp"

namespace tovalix::gateway {

// Sets the record's ID_Store (the store text converted to a 32-bit integer), Serial and PTid,
// posts them, and returns the gateway's dictionary when its "ID_Error" (trimmed) is "0".
// Otherwise returns the pre-filled result ("ID_Error" "-3", "Response_Message"
// "TOVALIX: Problema al hacer la Prueba de Configuración", the store and time-out keys empty)
// after showing the gateway's "Response_Message" (the registration message with the
// operations desk's phone for "DISPOSITIVO NO EXISTE O ESTA INACTIVO"); an empty "ID_Error"
// shows nothing. A store text that is not a number is reported with the common error report
// and nothing is sent. Never throws.
Dictionary PruebaConfigPinPad(PinPad& record, const std::string& store, const std::string& serial,
                              const std::string& ptid, const std::string& url,
                              const std::string& timeout, Operator& op);

}  // namespace tovalix::gateway
