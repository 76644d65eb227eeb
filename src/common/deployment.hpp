// Values that belong to a deployment rather than to the code: the service addresses, the
// operations desk's phone and the customer-service contacts printed on vouchers. Each comes from
// its environment variable when that is set and not empty, otherwise from a compiled-in default.
// The defaults use hosts under ".invalid", a domain that never resolves, so an unconfigured build
// cannot reach a real service by mistake.
#pragma once

#include <string>

namespace tovalix {

// The payment gateway an initialization stores ($TOVALIX_GATEWAY_URL); path "/gateway.asp".
std::string DefaultGatewayUrl();

// The airtime web service an initialization stores ($TOVALIX_AIRTIME_URL); path
// "/TelcoWS/service1.asmx".
std::string DefaultAirtimeUrl();

// Base address of the banking-agent service ($TOVALIX_COUNTER_URL), without a trailing "/".
std::string CounterUrl();

// The phone number the installer is told to call to register a terminal
// ($TOVALIX_OPERATIONS_PHONE).
std::string OperationsPhone();

// Where a customer of the counter services turns with a complaint; printed at the foot of the
// counter-service voucher. Unlike the values above these have no default: a contact that is
// not configured is left off the voucher rather than printed made up.
struct CustomerServiceContacts {
  std::string phone;            // $TOVALIX_CONTACT_PHONE, the operator's toll-free number
  std::string email;            // $TOVALIX_CONTACT_EMAIL
  std::string authority_phone;  // $TOVALIX_CONDUSEF_PHONE, CONDUSEF's telephone(s) as printed
};
CustomerServiceContacts CustomerContacts();

}  // namespace tovalix
