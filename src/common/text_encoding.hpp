// Text inside the library is UTF-8; bytes to and from a PIN pad are bytes. Where a character's
// ANSI code is meant, the code page is Windows-1252.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tovalix {

// True when `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// UTF-8 text to Windows-1252 bytes. A character that the code page lacks becomes "?".
// Invalid UTF-8 is taken byte by byte, as if it already were Windows-1252.
std::string Utf8ToAnsi(std::string_view text);

// Windows-1252 bytes to UTF-8. The five codes the code page leaves undefined map to the
// control characters of the same value, as Windows does.
std::string AnsiToUtf8(std::string_view bytes);

// Text from a server: kept when it is valid UTF-8, read as Windows-1252 otherwise.
std::string ToUtf8Lenient(std::string_view text);

// How much of a peer's text an operator message quotes, in characters.
inline constexpr std::size_t kPeerQuoteCharacters = 300;

// Text from a server or a device as an operator message may quote it: read as ToUtf8Lenient
// does, control characters (tabs and line ends included) removed, and cut after
// kPeerQuoteCharacters characters with "..." to show that more came.
std::string QuotePeer(std::string_view text);

}  // namespace tovalix
