#include "platform/safe_address.hpp"

#include <algorithm>
#include <cctype>
#include <utility>

namespace tovalix::platform {
namespace {

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
  });
}

// "127.a.b.c" with every part a plain decimal of 0 to 255 (no leading zero, which some
// resolvers read as octal).
bool IsLoopbackIpv4(std::string_view host) {
  for (int part = 0; part < 4; ++part) {
    const std::size_t dot = host.find('.');
    if ((part < 3) == (dot == std::string_view::npos)) return false;  // not four parts
    const std::string_view digits = host.substr(0, dot);
    if (!AllDigits(digits) || digits.size() > 3 || (digits.size() > 1 && digits[0] == '0')) {
      return false;
    }
    int value = 0;
    for (const char digit : digits) value = value * 10 + (digit - '0');
    if (value > 255 || (part == 0 && value != 127)) return false;
    host.remove_prefix(part < 3 ? dot + 1 : host.size());
  }
  return true;
}

bool IsLoopbackHost(std::string_view host) {
  return SameText(host, "localhost") || host == "[::1]" || IsLoopbackIpv4(host);
}

// The scheme and the rest after "://", or an empty scheme when the text has none.
std::pair<std::string_view, std::string_view> SplitScheme(std::string_view url) {
  const std::size_t mark = url.find("://");
  if (mark == std::string_view::npos || mark == 0) return {{}, url};
  return {url.substr(0, mark), url.substr(mark + 3)};
}

}  // namespace

bool IsSafeAddress(std::string_view url) {
  const auto [scheme, rest] = SplitScheme(url);
  if (SameText(scheme, "https")) return true;
  if (!SameText(scheme, "http")) return false;
  std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  const std::size_t at = authority.find('@');
  if (at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
    if (authority.find('@') != std::string_view::npos) return false;  // which host is meant?
  }
  // The port follows the last ":" after the host ("[::1]:8080" keeps its brackets).
  const std::size_t colon = authority.rfind(':');
  const std::size_t bracket = authority.rfind(']');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
    if (!AllDigits(authority.substr(colon + 1))) return false;
    authority = authority.substr(0, colon);
  }
  return IsLoopbackHost(authority);
}

std::string UnsafeAddressText(std::string_view url) {
  const auto [scheme, rest] = SplitScheme(url);
  const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  const std::size_t at = authority.rfind('@');
  std::string shown(url.substr(0, url.size() - rest.size()));
  shown += rest.substr(at == std::string_view::npos ? 0 : at + 1);
  return "La dirección " + shown +
         " no es segura. Los datos de tarjeta, NIP y contraseñas sólo se envían por https. "
         "Llame al técnico.";
}

}  // namespace tovalix::platform
