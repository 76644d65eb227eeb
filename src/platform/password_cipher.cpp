// The stored form of an enciphered text, Base64 of
//   salt (16 bytes) | IV (8) | DES-EDE3-CBC cipher text (PKCS#7 padded) | HMAC-SHA256 tag (32)
// where PBKDF2-HMAC-SHA256 of the password and the salt gives the Triple-DES key (24 bytes),
// the IV (8) and the tag's key (32), and the tag covers salt, IV and cipher text. The tag is
// checked before anything is deciphered, so a foreign or damaged text fails instead of giving
// garbage. The passwords are built into the program, so a slow derivation would buy nothing:
// the iteration count only has to make each salt give unrelated keys, and stays low enough
// that the loader's 21 values decipher in about a millisecond.
#include <array>

#include "common/failure.hpp"
#include "platform/base64.hpp"
#include "platform/cipher.hpp"
#include "platform/crypto_primitives.hpp"

namespace tovalix::platform {
namespace {

constexpr std::size_t kSaltSize = 16;
constexpr std::size_t kKeySize = crypto::kTripleDesKeySize;
constexpr std::size_t kIvSize = crypto::kTripleDesBlockSize;
constexpr std::size_t kBlockSize = crypto::kTripleDesBlockSize;
constexpr std::size_t kTagKeySize = 32;
constexpr std::size_t kTagSize = crypto::kSha256Size;
constexpr unsigned kIterations = 16;

const unsigned char* Bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

// Key material derived from a password and a salt; wiped when it goes out of scope.
struct Keys {
  Keys(std::string_view password, const unsigned char* salt) {
    crypto::Pbkdf2Sha256(password, salt, kSaltSize, kIterations, material.data(), material.size());
  }
  ~Keys() { crypto::Wipe(material.data(), material.size()); }
  Keys(const Keys&) = delete;
  Keys& operator=(const Keys&) = delete;

  std::array<unsigned char, kKeySize + kIvSize + kTagKeySize> material{};
  const unsigned char* key() const { return material.data(); }
  const unsigned char* iv() const { return material.data() + kKeySize; }
  auto tag(std::string_view covered) const {
    return crypto::HmacSha256(material.data() + kKeySize + kIvSize, kTagKeySize, covered);
  }
};

// Compares without stopping at the first difference, so timing tells nothing.
bool SameBytes(const unsigned char* a, const unsigned char* b, std::size_t size) {
  unsigned char difference = 0;
  for (std::size_t i = 0; i < size; ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}

class StoredFormCipher : public PasswordCipher {
 public:
  std::string Encipher(std::string_view plain, std::string_view password) const override {
    std::string whole(kSaltSize, '\0');
    crypto::RandomBytes(reinterpret_cast<unsigned char*>(whole.data()), kSaltSize);
    const Keys keys(password, Bytes(whole));
    whole.append(reinterpret_cast<const char*>(keys.iv()), kIvSize);
    whole += crypto::TripleDesCbc(true, keys.key(), keys.iv(), plain);
    const auto tag = keys.tag(whole);
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
    const Keys keys(password, Bytes(bytes));
    const std::string_view covered = bytes.substr(0, bytes.size() - kTagSize);
    const auto expected = keys.tag(covered);
    // The stored IV must be the derived one, and the tag must match.
    if (!SameBytes(Bytes(bytes.substr(kSaltSize)), keys.iv(), kIvSize) ||
        !SameBytes(Bytes(bytes.substr(covered.size())), expected.data(), kTagSize)) {
      throw Failure("Los datos cifrados están dañados o la contraseña no corresponde");
    }
    return crypto::TripleDesCbc(false, keys.key(), keys.iv(), covered.substr(kSaltSize + kIvSize));
  }
};

}  // namespace

const PasswordCipher& SystemPasswordCipher() {
  static const StoredFormCipher cipher;
  return cipher;
}

}  // namespace tovalix::platform
