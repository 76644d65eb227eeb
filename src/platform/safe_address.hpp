// Which addresses card data, NIPs and credentials may be posted to: any https address, and
// plain http only to this same machine (127.0.0.0/8, "localhost", [::1]), where the simulators
// listen. Every post goes through the HTTP client, which refuses the rest; callers that can
// tell the operator earlier (before a card is read) ask first.
#pragma once

#include <string>
#include <string_view>

namespace tovalix::platform {

// True for "https://..." (scheme in any case) and for "http://" whose host is exactly
// "localhost", a dotted decimal 127.x.y.z or "[::1]", with at most a user part before a
// single "@" and a numeric port. Anything else, a missing scheme included, is false.
bool IsSafeAddress(std::string_view url);

// The refusal of an address IsSafeAddress refuses, without "TOVALIX: ": it names the address
// without any user name or password it may hold and tells the operator to call the technician.
std::string UnsafeAddressText(std::string_view url);

}  // namespace tovalix::platform
