// The control a point-of-sale host calls: one business operation per call, each returning an
// ordered dictionary of results (or, for the initialization, 1 or 0). Everything runs on the
// caller's thread until the method returns; the host calls one operation at a time.
#pragma once

#include <tovalix/export.h>

#include <cstdint>
#include <memory>
#include <string>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

namespace tovalix {

namespace detail {
struct ClienteState;
struct ClienteAccess;
}  // namespace detail

class TOVALIX_EXPORT Cliente {
 public:
  // `op` receives every message for the operator and lets the host's event loop run while the
  // component waits; it must outlive the Cliente.
  explicit Cliente(Operator& op);
  ~Cliente();
  Cliente(const Cliente&) = delete;
  Cliente& operator=(const Cliente&) = delete;

  // A card sale (vpOperation_Type 1), cancellation (2) or verification (3) on the configured
  // PIN pad. vpAuthorization_Number only for a cancellation; the plan fields blank or two
  // digits each.
  //
  // The sale is approved when Response_Message is "APROBADA" (or "DEMO - APROBADA") with an
  // Authorization_Number that is not all zeros; the chip card is told the same. ID_Tx "-3"
  // means that nothing reached the gateway: the sale may be tried again. ID_Tx "-4" means
  // that the request reached the gateway but no usable answer came back (a time-out after
  // sending, a dropped connection, a status other than 200, a missing header, an amount other
  // than the one sent, an approval without an authorization number): the charge may have gone
  // through. Response_Message then begins "VENTA EN DUDA", the operator is told the sale's
  // journal id, and the sale must be confirmed with the gateway before charging again.
  //
  // Every sale is written to the sale journal ("journal.jsonl" beside the settings file)
  // before its request leaves and again with its outcome, so that a sale interrupted while the
  // gateway holds it (the process killed, the power cut) is still found among VentasEnDuda.
  Dictionary PagoTarjeta(std::int32_t vpID_Store, double vpAmount, double vpTip, double vpTotal,
                         std::int32_t vpID_Transaction, std::int16_t vpOperation_Type,
                         const std::string& vpAuthorization_Number, std::int32_t vpID_Client_Tx,
                         std::int32_t vpID_Server_Tx, const std::string& vpInitialDeferment,
                         const std::string& vpNumberOfPayments, const std::string& vpPlanType);

  // The state of an airtime sale made with the reference vpposTimeStamp.
  Dictionary TiempoAireStatusVenta(const std::string& vpProvider,
                                   const std::string& vpposTimeStamp);

  // Sells airtime worth vpAmount of provider vpProvider to a ten-digit telephone.
  Dictionary TiempoAire(const std::string& vptellerLogin, const std::string& vpProvider,
                        const std::string& vptopUpTelephone, double vpAmount,
                        const std::string& vpposTimeStamp);

  // The merchant's airtime balance.
  Dictionary TiempoAireConsultaSaldo(const std::string& vptellerLogin);

  // The amounts a provider sells.
  Dictionary TiempoAireCantidades(const std::string& vpProvider);

  // The card sales of the journal still in doubt: key the sale's journal id, value its latest
  // journal line (JSON: time, id, state "pending" or "outcome", model, ID_Store,
  // ID_Transaction, Amount, Total, Operation_Type, last4 and, for an outcome, ID_Tx,
  // Authorization_Number, Response_Message). A sale stays listed until it is settled.
  // An unreadable journal is reported to the operator and gives what was read (nothing).
  Dictionary VentasEnDuda();

  // Settles the sale in doubt `id` once the gateway confirmed whether it was charged: appends
  // a line to the journal (earlier lines are never rewritten) and the sale leaves
  // VentasEnDuda. Returns 1 when settled, 0 when `id` is not a sale in doubt or the journal
  // could not be written (the operator has been told why).
  std::int16_t ConciliaVenta(const std::string& id, bool cobrada);

  // Records which store, terminal and PIN pad model this point of sale is, reads the PIN pad's
  // serial number, checks it with the gateway and stores the terminal's parameters. Returns 1
  // when the terminal was initialized, 0 otherwise (the operator has been told why).
  std::int16_t InicializaPinPad(const std::string& vpID_Store, std::int32_t vpPTid,
                                const std::string& vpTipo, const std::string& vpSerie,
                                const std::string& vpUserTA, const std::string& vpPwdTA);

 private:
  friend struct detail::ClienteAccess;
  std::unique_ptr<detail::ClienteState> state_;
};

}  // namespace tovalix
