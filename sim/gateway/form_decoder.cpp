#include "sim/gateway/form_decoder.hpp"

#include <algorithm>

namespace tovalix::sim {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
               HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += c;  // a stray "%" is kept, as lenient decoders do
    }
  }
  return out;
}

}  // namespace

std::vector<FormPair> DecodeForm(std::string_view body) {
  std::vector<FormPair> pairs;
  std::size_t start = 0;
  while (start <= body.size()) {
    const std::size_t end = std::min(body.find('&', start), body.size());
    const std::string_view part = body.substr(start, end - start);
    if (!part.empty()) {
      const std::size_t equals = part.find('=');
      if (equals == std::string_view::npos) {
        pairs.push_back({Unescape(part), ""});
      } else {
        pairs.push_back({Unescape(part.substr(0, equals)), Unescape(part.substr(equals + 1))});
      }
    }
    start = end + 1;
  }
  return pairs;
}

}  // namespace tovalix::sim
