// The banking agent's counter and the Hypercom Optimum's printer, beside the card sale: a
// teller signs in and out, each counter operation is logged, remittance orders are looked up
// and paid out, gift cards get their PIN, and vouchers and sales tickets are printed. Like
// Cliente, one operation per call on the caller's thread; every message goes to the Operator.
// Results are the same ordered dictionaries, with the same keys, values and pre-filled
// refusals, as the control's own counter procedures.
#pragma once

#include <tovalix/export.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

namespace tovalix {

namespace detail {
struct ClienteState;
struct MostradorAccess;
}  // namespace detail

class TOVALIX_EXPORT Mostrador {
 public:
  // `op` receives every message for the operator; it must outlive the Mostrador.
  explicit Mostrador(Operator& op);
  ~Mostrador();
  Mostrador(const Mostrador&) = delete;
  Mostrador& operator=(const Mostrador&) = delete;

  // Signs the teller `usuario` in (`tipo_operacion` "C") or out ("D") with the teller's NIP and
  // the teller card's track 2. "status" and "teller" come back empty when a check refuses.
  Dictionary SesionCajero(const std::string& usuario, const std::string& nip,
                          const std::string& track2, const std::string& tipo_operacion);

  // Records one counter operation; `bitacora` holds "total", "date_time", "truncated",
  // "address1", "address2", "address3", "brand", "rfc", "phone", "teller",
  // "response_message" and "operation_type".
  Dictionary RegistraBitacora(const Dictionary& bitacora);

  // Looks a remittance order up.
  Dictionary ConsultaRemesa(const std::string& orden);

  // Pays a remittance order out against at least one identification document.
  Dictionary PagaRemesa(const std::string& orden, const std::string& visa,
                        const std::string& pasaporte, const std::string& green_card,
                        const std::string& seguro_social, const std::string& matricula_consular,
                        const std::string& ide, const std::string& licencia);

  // Assigns a four-digit `nip` to the gift card whose tracks the host has read. The PIN pad's
  // port is the one an earlier operation of this Mostrador decided, or else decided now.
  Dictionary AsignaNip(const std::string& nip, const std::string& track1,
                       const std::string& track2);

  // Prints on the Optimum the voucher of `operacion` (11 card payment, 1 gift card, 22 counter
  // service) from `datos`; the settings are loaded and the port found first. 1 when every copy
  // printed, 0 otherwise (the operator has been told why). A model without a printer, and an
  // operation without a voucher layout (2 airtime, 4 remittance), print nothing. The counter
  // service's voucher ends with the customer-service contacts of $TOVALIX_CONTACT_PHONE,
  // $TOVALIX_CONTACT_EMAIL and $TOVALIX_CONDUSEF_PHONE; one not set is left off.
  std::int16_t ImprimeVoucher(const Dictionary& datos, const std::string& texto,
                              std::int16_t operacion);

  // Prints a sales ticket once: `articulos` holds "description,quantity,unit price" entries and
  // `pagos` "concept,amount" entries, every entry printed. 1 when printed, 0 otherwise.
  std::int16_t ImprimeTicket(const std::string& razon, const std::string& dir1,
                             const std::string& dir2, const std::string& dir3,
                             const std::string& tel, const std::string& folio,
                             const std::string& total, const std::vector<std::string>& articulos,
                             const std::vector<std::string>& pagos);

 private:
  friend struct detail::MostradorAccess;
  std::unique_ptr<detail::ClienteState> state_;
};

}  // namespace tovalix
