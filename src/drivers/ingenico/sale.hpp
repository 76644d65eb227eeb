// The card sale on an Ingenico 3070 or iPP320 (VentaIngenico3070, VentaIPP320): one flow, the
// model deciding only how the link frames its bytes. It shows the logo, asks for the card with
// IC0 and reads it in up to three attempts, rejects an expired swiped card, posts the sale to
// the gateway (process 11), hands a chip card the gateway's answer (IC1), asks for the card to
// be removed and shows the logo again.
#pragma once

#include <tovalix/dictionary.hpp>

#include "drivers/ingenico/frame_fields.hpp"
#include "drivers/sale_request.hpp"

namespace tovalix::drivers::ingenico {

enum class Modelo { kIngenico3070, kIPP320 };

// The amounts a sale can carry: what IC0's twelve-digit fields hold.
inline constexpr CapacidadImporte kCapacidadImporte{kMaxAmountCentavos, false};

// The result starts with the reading error and ID_Tx "-3"; once the gateway answered it is the
// gateway's dictionary. Opens entorno.puerto itself (its link format, Abre) and closes it and
// stops the reader on every path, a run-time error included (that one is reported with the
// common error report and the result returned as it stands). Sets entorno.modo_entrada to 2
// for a chip reading, 1 for a swiped card, 3 for the fallback reading. Never throws.
Dictionary VentaIngenico(EntornoVenta& entorno, const SolicitudVenta& solicitud, Modelo modelo);

inline Dictionary VentaIngenico3070(EntornoVenta& entorno, const SolicitudVenta& solicitud) {
  return VentaIngenico(entorno, solicitud, Modelo::kIngenico3070);
}
inline Dictionary VentaIPP320(EntornoVenta& entorno, const SolicitudVenta& solicitud) {
  return VentaIngenico(entorno, solicitud, Modelo::kIPP320);
}

}  // namespace tovalix::drivers::ingenico
