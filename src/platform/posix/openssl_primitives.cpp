// The cipher's primitives over OpenSSL's libcrypto.
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <limits>
#include <memory>

#include "common/failure.hpp"
#include "platform/crypto_primitives.hpp"

namespace tovalix::platform::crypto {
namespace {

[[noreturn]] void CryptoFailure(const char* step) {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  char reason[256] = "sin detalle";
  if (code != 0) ERR_error_string_n(code, reason, sizeof reason);
  throw Failure(std::string("Falla del cifrado (") + step + "): " + reason);
}

int IntSize(std::size_t size) {
  if (size > static_cast<std::size_t>(std::numeric_limits<int>::max() - 64)) {
    throw Failure("Texto demasiado largo para cifrar");
  }
  return static_cast<int>(size);
}

const unsigned char* Bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace

void RandomBytes(unsigned char* out, std::size_t size) {
  if (RAND_bytes(out, IntSize(size)) != 1) CryptoFailure("sal");
}

void Pbkdf2Sha256(std::string_view password, const unsigned char* salt, std::size_t salt_size,
                  unsigned iterations, unsigned char* out, std::size_t out_size) {
  if (PKCS5_PBKDF2_HMAC(password.data(), IntSize(password.size()), salt, IntSize(salt_size),
                        static_cast<int>(iterations), EVP_sha256(), IntSize(out_size), out) != 1) {
    CryptoFailure("derivación");
  }
}

std::array<unsigned char, kSha256Size> HmacSha256(const unsigned char* key, std::size_t key_size,
                                                  std::string_view data) {
  std::array<unsigned char, kSha256Size> tag{};
  unsigned int size = 0;
  if (HMAC(EVP_sha256(), key, IntSize(key_size), Bytes(data), data.size(), tag.data(), &size) ==
          nullptr ||
      size != kSha256Size) {
    CryptoFailure("autenticación");
  }
  return tag;
}

std::string TripleDesCbc(bool encipher, const unsigned char* key, const unsigned char* iv,
                         std::string_view input) {
  using Context = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;
  Context context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
  if (!context) CryptoFailure("contexto");
  if (EVP_CipherInit_ex(context.get(), EVP_des_ede3_cbc(), nullptr, key, iv, encipher ? 1 : 0) !=
      1) {
    CryptoFailure("inicio");
  }
  std::string output(input.size() + kTripleDesBlockSize, '\0');
  auto* out = reinterpret_cast<unsigned char*>(output.data());
  int written = 0;
  int last = 0;
  if (EVP_CipherUpdate(context.get(), out, &written, Bytes(input), IntSize(input.size())) != 1 ||
      EVP_CipherFinal_ex(context.get(), out + written, &last) != 1) {
    CryptoFailure(encipher ? "cifrado" : "descifrado");
  }
  output.resize(static_cast<std::size_t>(written + last));
  return output;
}

void Wipe(void* data, std::size_t size) noexcept {
  OPENSSL_cleanse(data, size);
}

}  // namespace tovalix::platform::crypto
