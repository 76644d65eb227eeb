// Base64 (RFC 4648, with padding), strict on input: the cipher texts of the settings are
// checked before anything else reads them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tovalix::platform {

std::string EncodeBase64(std::string_view bytes);

// The bytes of `text`; nullopt when it holds a character outside the alphabet, a length that
// is not a multiple of four, misplaced padding or non-zero bits in the last padded group.
std::optional<std::string> DecodeBase64(std::string_view text);

}  // namespace tovalix::platform
