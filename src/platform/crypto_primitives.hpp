// The four primitives the password cipher is made of. Each platform implements them with its
// own services (posix/openssl_primitives.cpp, windows/cng_primitives.cpp); the stored form
// built on them (password_cipher.cpp) is the same everywhere, so a settings file enciphered by
// one backend deciphers with the other. Every function throws Failure when the service fails.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tovalix::platform::crypto {

constexpr std::size_t kSha256Size = 32;
constexpr std::size_t kTripleDesKeySize = 24;
constexpr std::size_t kTripleDesBlockSize = 8;

// `size` bytes from the system's cryptographic random source.
void RandomBytes(unsigned char* out, std::size_t size);

// PBKDF2 with HMAC-SHA256 as its pseudo-random function.
void Pbkdf2Sha256(std::string_view password, const unsigned char* salt, std::size_t salt_size,
                  unsigned iterations, unsigned char* out, std::size_t out_size);

std::array<unsigned char, kSha256Size> HmacSha256(const unsigned char* key, std::size_t key_size,
                                                  std::string_view data);

// DES-EDE3 in CBC mode with PKCS#7 padding. Deciphering throws when the padding is wrong.
std::string TripleDesCbc(bool encipher, const unsigned char* key, const unsigned char* iv,
                         std::string_view input);

// Overwrites key material so that the optimiser cannot drop the store.
void Wipe(void* data, std::size_t size) noexcept;

}  // namespace tovalix::platform::crypto
