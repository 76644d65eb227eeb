// The cipher's primitives over Windows' Cryptography API: Next Generation (BCrypt).
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <limits>

#include "common/failure.hpp"
#include "platform/crypto_primitives.hpp"

namespace tovalix::platform::crypto {
namespace {

[[noreturn]] void CryptoFailure(const char* step, NTSTATUS status) {
  char code[16];
  std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(status));
  throw Failure(std::string("Falla del cifrado (") + step + "): NTSTATUS 0x" + code);
}

void Check(NTSTATUS status, const char* step) {
  if (!BCRYPT_SUCCESS(status)) CryptoFailure(step, status);
}

ULONG UlongSize(std::size_t size) {
  if (size > std::numeric_limits<ULONG>::max() - 64) {
    throw Failure("Texto demasiado largo para cifrar");
  }
  return static_cast<ULONG>(size);
}

PUCHAR Bytes(std::string_view text) {
  return reinterpret_cast<PUCHAR>(const_cast<char*>(text.data()));
}

// An algorithm provider opened once per process; CNG providers may be shared across threads.
class Provider {
 public:
  Provider(LPCWSTR algorithm, ULONG flags, const wchar_t* chaining = nullptr) {
    Check(BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, flags), "proveedor");
    if (chaining != nullptr) {
      Check(BCryptSetProperty(handle_, BCRYPT_CHAINING_MODE,
                              reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(chaining)),
                              static_cast<ULONG>((wcslen(chaining) + 1) * sizeof(wchar_t)), 0),
            "modo");
    }
  }
  ~Provider() { BCryptCloseAlgorithmProvider(handle_, 0); }
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

const Provider& HmacProvider() {
  static const Provider provider(BCRYPT_SHA256_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
  return provider;
}

const Provider& TripleDesProvider() {
  static const Provider provider(BCRYPT_3DES_ALGORITHM, 0, BCRYPT_CHAIN_MODE_CBC);
  return provider;
}

class Key {
 public:
  explicit Key(const unsigned char* bytes) {
    Check(BCryptGenerateSymmetricKey(TripleDesProvider().get(), &handle_, nullptr, 0,
                                     const_cast<PUCHAR>(bytes), kTripleDesKeySize, 0),
          "clave");
  }
  ~Key() { BCryptDestroyKey(handle_); }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  BCRYPT_KEY_HANDLE get() const { return handle_; }

 private:
  BCRYPT_KEY_HANDLE handle_ = nullptr;
};

}  // namespace

void RandomBytes(unsigned char* out, std::size_t size) {
  Check(BCryptGenRandom(nullptr, out, UlongSize(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG), "sal");
}

void Pbkdf2Sha256(std::string_view password, const unsigned char* salt, std::size_t salt_size,
                  unsigned iterations, unsigned char* out, std::size_t out_size) {
  Check(BCryptDeriveKeyPBKDF2(HmacProvider().get(), Bytes(password), UlongSize(password.size()),
                              const_cast<PUCHAR>(salt), UlongSize(salt_size), iterations, out,
                              UlongSize(out_size), 0),
        "derivación");
}

std::array<unsigned char, kSha256Size> HmacSha256(const unsigned char* key, std::size_t key_size,
                                                  std::string_view data) {
  std::array<unsigned char, kSha256Size> tag{};
  BCRYPT_HASH_HANDLE hash = nullptr;
  Check(BCryptCreateHash(HmacProvider().get(), &hash, nullptr, 0, const_cast<PUCHAR>(key),
                         UlongSize(key_size), 0),
        "autenticación");
  const NTSTATUS added = BCryptHashData(hash, Bytes(data), UlongSize(data.size()), 0);
  const NTSTATUS finished =
      BCRYPT_SUCCESS(added) ? BCryptFinishHash(hash, tag.data(), kSha256Size, 0) : added;
  BCryptDestroyHash(hash);
  Check(finished, "autenticación");
  return tag;
}

std::string TripleDesCbc(bool encipher, const unsigned char* key, const unsigned char* iv,
                         std::string_view input) {
  const Key handle(key);
  // CNG moves the chaining value through the IV buffer it is given: hand it a copy.
  unsigned char chain[kTripleDesBlockSize];
  std::memcpy(chain, iv, sizeof chain);
  std::string output(input.size() + kTripleDesBlockSize, '\0');
  ULONG written = 0;
  const ULONG in_size = UlongSize(input.size());
  const NTSTATUS status =
      encipher ? BCryptEncrypt(handle.get(), Bytes(input), in_size, nullptr, chain, sizeof chain,
                               reinterpret_cast<PUCHAR>(output.data()), UlongSize(output.size()),
                               &written, BCRYPT_BLOCK_PADDING)
               : BCryptDecrypt(handle.get(), Bytes(input), in_size, nullptr, chain, sizeof chain,
                               reinterpret_cast<PUCHAR>(output.data()), UlongSize(output.size()),
                               &written, BCRYPT_BLOCK_PADDING);
  Check(status, encipher ? "cifrado" : "descifrado");
  output.resize(written);
  return output;
}

void Wipe(void* data, std::size_t size) noexcept {
  SecureZeroMemory(data, size);
}

}  // namespace tovalix::platform::crypto
