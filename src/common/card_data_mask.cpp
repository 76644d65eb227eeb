#include "common/card_data_mask.hpp"

#include <cctype>

namespace tovalix {
namespace {

constexpr std::size_t kShortestCardNumber = 13;
constexpr std::size_t kLongestCardNumber = 19;

bool IsDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
bool IsBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

std::string MaskCardData(std::string_view text) {
  std::string out(text);
  std::size_t pos = 0;
  while (pos < out.size()) {
    if (!IsDigit(out[pos])) {
      ++pos;
      continue;
    }
    std::size_t end = pos;
    while (end < out.size() && IsDigit(out[end])) ++end;
    const std::size_t length = end - pos;
    if (length < kShortestCardNumber || length > kLongestCardNumber * 2) {
      pos = end;
      continue;
    }
    // A card number, or a whole packed track 2 without its separator: keep the last four.
    const std::size_t keep = length <= kLongestCardNumber ? 4 : 0;
    for (std::size_t i = pos; i < end - keep; ++i) out[i] = '*';
    // The rest of a track (separator "=", "D" or "^" and what follows) goes too.
    if (end < out.size() && (out[end] == '=' || out[end] == '^' || out[end] == 'D')) {
      while (end < out.size() && !IsBlank(out[end])) out[end++] = '*';
    }
    pos = end;
  }
  return out;
}

}  // namespace tovalix
