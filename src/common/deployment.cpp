#include "common/deployment.hpp"

#include <cstdlib>

namespace tovalix {
namespace {

std::string FromEnvironment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return (value != nullptr && *value != '\0') ? std::string(value) : std::string(fallback);
}

}  // namespace

std::string DefaultGatewayUrl() {
  return FromEnvironment("TOVALIX_GATEWAY_URL", "https://gateway.tovalix.invalid/gateway.asp");
}

std::string DefaultAirtimeUrl() {
  return FromEnvironment("TOVALIX_AIRTIME_URL",
                         "https://telco.tovalix.invalid/TelcoWS/service1.asmx");
}

std::string CounterUrl() {
  std::string url = FromEnvironment("TOVALIX_COUNTER_URL", "https://corresponsal.tovalix.invalid");
  while (!url.empty() && url.back() == '/') url.pop_back();
  return url;
}

std::string OperationsPhone() {
  return FromEnvironment("TOVALIX_OPERATIONS_PHONE", "01 800 000 0000");
}

CustomerServiceContacts CustomerContacts() {
  return {FromEnvironment("TOVALIX_CONTACT_PHONE", ""),
          FromEnvironment("TOVALIX_CONTACT_EMAIL", ""),
          FromEnvironment("TOVALIX_CONDUSEF_PHONE", "")};
}

}  // namespace tovalix
