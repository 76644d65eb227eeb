// Gift cards at the counter: assigning a four-digit PIN to a card whose tracks the caller has
// already read. Posts to the stored gateway URL; never talks to the PIN pad. The public
// Mostrador reaches it.
#pragma once

#include <string>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "settings/parametros.hpp"

namespace tovalix::counter {

// Assigns `nip` to the card (process 33). `puerto` is the port an earlier operation of the
// control decided: a blank one ends the call without a message. Loads the settings into
// `parametros`. Returns "error" "ERROR AL LEER LA TARJETA" with "track2", "pos", "date_time"
// and "teller" empty when a check refuses (after its box), otherwise the gateway's answer with
// the merchant's "Description", "Address1", "Address2", "Address3", "RFC", "Phone" and an
// empty "Servicio" added. The caller clears the control's per-sale state first. Never throws.
Dictionary AsignaNip(settings::Parametros& parametros, const std::string& puerto, Operator& op,
                     const std::string& nip, const std::string& track1, const std::string& track2);

}  // namespace tovalix::counter
