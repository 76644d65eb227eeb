// The stored form of a parameter: the value enciphered with its key's password (Base64 text),
// then written as decimal character codes, so the settings hold only digits and blanks.
// Each function reports its own failure through the common error report and returns "".
#pragma once

#include <string>
#include <string_view>

#include <tovalix/operator.hpp>

namespace tovalix::settings {

// `text` (UTF-8) enciphered with `password`, as Base64 text.
std::string Encripta(std::string_view text, std::string_view password, Operator& op);

// What Encripta was given. A text that is damaged, truncated or enciphered with another
// password is reported and gives "", never garbage.
std::string Desencripta(std::string_view text, std::string_view password, Operator& op);

// Each character's Windows-1252 code in decimal, with a leading blank (the sign's place) and a
// trailing blank: "AB" -> " 65  66 ". A character the code page lacks becomes "?" (63).
std::string CodificaAscii(std::string_view text, Operator& op);

// The text back from its codes: each piece up to and including a blank, trimmed, is one
// code; a last code with no blank behind it is dropped (" 65  66" gives "A"). A piece that
// is not a code from 0 to 255 is reported and gives "".
std::string DecodificaAscii(std::string_view codes, Operator& op);

}  // namespace tovalix::settings
