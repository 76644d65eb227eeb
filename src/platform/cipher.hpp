// Password-based encipherment of short texts, the seam that stands where CAPICOM's
// EncryptedData stood (Triple-DES with a password, Base64 output).
#pragma once

#include <string>
#include <string_view>

namespace tovalix::platform {

class PasswordCipher {
 public:
  virtual ~PasswordCipher() = default;

  // Enciphers `plain` (any bytes, "" included) with `password` and returns printable Base64
  // text. Two calls with the same input give different texts (each draws a fresh salt).
  // Throws Failure when the crypto library fails.
  virtual std::string Encipher(std::string_view plain, std::string_view password) const = 0;

  // The bytes that Encipher was given. Throws Failure when `text` is not Base64, is too
  // short, was altered or truncated, or was enciphered with another password: a text that
  // fails its check never yields bytes.
  virtual std::string Decipher(std::string_view text, std::string_view password) const = 0;
};

// The cipher of every platform, over its own primitives (crypto_primitives.hpp). Safe to use
// from any thread.
const PasswordCipher& SystemPasswordCipher();

}  // namespace tovalix::platform
