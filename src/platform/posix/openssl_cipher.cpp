// The password cipher over OpenSSL. A cipher text is Base64 of
//   salt (16 bytes) | IV (8) | DES-EDE3-CBC cipher text (PKCS#7 padded) | HMAC-SHA256 tag (32)
// where PBKDF2-HMAC-SHA256 of the password and the salt gives the Triple-DES key (24 bytes),
// the IV (8) and the tag's key (32), and the tag covers salt, IV and cipher text. The tag is
// checked before anything is deciphered, so a foreign or damaged text fails instead of giving
// garbage. The passwords are built into the program, so a slow derivation would buy nothing:
// the iteration count only has to make each salt give unrelated keys, and stays low enough
// that the loader's 21 values decipher in about a millisecond.
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <array>
#include <limits>
#include <memory>

#include "common/failure.hpp"
#include "platform/base64.hpp"
#include "platform/cipher.hpp"

namespace tovalix::platform {
namespace {

constexpr std::size_t kSaltSize = 16;
constexpr std::size_t kKeySize = 24;
constexpr std::size_t kIvSize = 8;
constexpr std::size_t kBlockSize = 8;
constexpr std::size_t kTagKeySize = 32;
constexpr std::size_t kTagSize = 32;
constexpr int kIterations = 16;

const unsigned char* Bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

[[noreturn]] void CryptoFailure(const char* step) {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  char reason[256] = "sin detalle";
  if (code != 0) ERR_error_string_n(code, reason, sizeof reason);
  throw Failure(std::string("Falla del cifrado (") + step + "): " + reason);
}

// Key material derived from a password and a salt; wiped when it goes out of scope.
struct Keys {
  std::array<unsigned char, kKeySize + kIvSize + kTagKeySize> material{};
  ~Keys() { OPENSSL_cleanse(material.data(), material.size()); }
  const unsigned char* key() const { return material.data(); }
  const unsigned char* iv() const { return material.data() + kKeySize; }
  const unsigned char* tag_key() const { return material.data() + kKeySize + kIvSize; }
};

void Derive(std::string_view password, const unsigned char* salt, Keys& keys) {
  if (password.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw Failure("Contraseña demasiado larga");
  }
  if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt, kSaltSize,
                        kIterations, EVP_sha256(), static_cast<int>(keys.material.size()),
                        keys.material.data()) != 1) {
    CryptoFailure("derivación");
  }
}

std::array<unsigned char, kTagSize> Tag(const Keys& keys, std::string_view covered) {
  std::array<unsigned char, kTagSize> tag{};
  unsigned int size = 0;
  if (HMAC(EVP_sha256(), keys.tag_key(), kTagKeySize, Bytes(covered), covered.size(), tag.data(),
           &size) == nullptr ||
      size != kTagSize) {
    CryptoFailure("autenticación");
  }
  return tag;
}

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

std::string RunCipher(bool encipher, const Keys& keys, std::string_view input) {
  if (input.size() > static_cast<std::size_t>(std::numeric_limits<int>::max() - 64)) {
    throw Failure("Texto demasiado largo para cifrar");
  }
  CipherContext context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
  if (!context) CryptoFailure("contexto");
  if (EVP_CipherInit_ex(context.get(), EVP_des_ede3_cbc(), nullptr, keys.key(), keys.iv(),
                        encipher ? 1 : 0) != 1) {
    CryptoFailure("inicio");
  }
  std::string output(input.size() + kBlockSize, '\0');
  auto* out = reinterpret_cast<unsigned char*>(output.data());
  int written = 0;
  int last = 0;
  if (EVP_CipherUpdate(context.get(), out, &written, Bytes(input),
                       static_cast<int>(input.size())) != 1 ||
      EVP_CipherFinal_ex(context.get(), out + written, &last) != 1) {
    CryptoFailure(encipher ? "cifrado" : "descifrado");
  }
  output.resize(static_cast<std::size_t>(written + last));
  return output;
}

class OpenSslCipher : public PasswordCipher {
 public:
  std::string Encipher(std::string_view plain, std::string_view password) const override {
    std::string whole(kSaltSize, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(whole.data()), kSaltSize) != 1) {
      CryptoFailure("sal");
    }
    Keys keys;
    Derive(password, Bytes(whole), keys);
    whole.append(reinterpret_cast<const char*>(keys.iv()), kIvSize);
    whole += RunCipher(true, keys, plain);
    const auto tag = Tag(keys, whole);
    whole.append(reinterpret_cast<const char*>(tag.data()), tag.size());
    return EncodeBase64(whole);
  }

  std::string Decipher(std::string_view text, std::string_view password) const override {
    const std::optional<std::string> whole = DecodeBase64(text);
    constexpr std::size_t kOverhead = kSaltSize + kIvSize + kTagSize;
    if (!whole || whole->size() < kOverhead + kBlockSize ||
        (whole->size() - kOverhead) % kBlockSize != 0) {
      throw Failure("El texto cifrado no es válido");
    }
    const std::string_view bytes(*whole);
    Keys keys;
    Derive(password, Bytes(bytes), keys);
    const std::string_view covered = bytes.substr(0, bytes.size() - kTagSize);
    const auto expected = Tag(keys, covered);
    // Constant-time comparisons: the stored IV must be the derived one, the tag must match.
    if (CRYPTO_memcmp(Bytes(bytes.substr(kSaltSize)), keys.iv(), kIvSize) != 0 ||
        CRYPTO_memcmp(Bytes(bytes.substr(covered.size())), expected.data(), kTagSize) != 0) {
      throw Failure("Los datos cifrados están dañados o la contraseña no corresponde");
    }
    return RunCipher(false, keys, covered.substr(kSaltSize + kIvSize));
  }
};

}  // namespace

const PasswordCipher& SystemPasswordCipher() {
  static const OpenSslCipher cipher;
  return cipher;
}

}  // namespace tovalix::platform
