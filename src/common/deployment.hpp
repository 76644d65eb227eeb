// Values that belong to a deployment rather than to the code: the service addresses and the
// operations desk's phone. Each comes from its environment variable when that is set and not
// empty, otherwise from a compiled-in default. The defaults use hosts under ".invalid", a
// domain that never resolves, so an unconfigured build cannot reach a real service by mistake.
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

}  // namespace tovalix
