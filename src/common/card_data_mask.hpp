// Card data never reaches the log or the operator's messages: a card number keeps its last four
// digits, and whatever follows it on a track (expiry, service code, name) is blanked out.
#pragma once

#include <string>
#include <string_view>

namespace tovalix {

std::string MaskCardData(std::string_view text);

}  // namespace tovalix
