// The banking agent's counter: a teller signs in to and out of the card service, and the point
// of sale records each counter operation in the service's log. Both post to fixed addresses
// of the banking-agent service (its base from CounterUrl()), not to the stored gateway URL.
// The public Mostrador reaches them, and clears the control's per-sale state before calling.
#pragma once

#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "settings/parametros.hpp"

namespace tovalix::counter {

inline constexpr std::string_view kRutaSesionCajero = "/corresponsal/login.asp";
inline constexpr std::string_view kRutaBitacora = "/corresponsal/log.asp";

// Signs the teller `usuario` in ("C", connect) or out ("D", disconnect; either case) with the
// teller's NIP and the card's track 2. Loads the settings into `parametros` and decides the
// PIN pad's port into `puerto`. Returns "status" and "teller" empty when a check refuses
// (after its box), otherwise the gateway's answer for process 5 with the merchant's
// "Description", "Address1", "Address2", "Address3", "RFC" and "Phone" added. Never throws.
Dictionary SesionCajero(settings::Parametros& parametros, std::string& puerto, Operator& op,
                        const std::string& usuario, const std::string& nip,
                        const std::string& track2, const std::string& tipo_operacion);

// Records one counter operation: `bitacora` holds "total", "date_time", "truncated",
// "address1", "address2", "address3", "brand", "rfc", "phone", "teller", "response_message"
// and "operation_type". Returns "status" empty when the start refuses or an entry is missing
// or "total" is not a number (reported with the common error report), otherwise the gateway's
// answer for process 7 with the merchant's entries added. Never throws.
Dictionary RegistraBitacora(settings::Parametros& parametros, std::string& puerto, Operator& op,
                            const Dictionary& bitacora);

}  // namespace tovalix::counter
