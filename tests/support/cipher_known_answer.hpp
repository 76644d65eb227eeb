// A text enciphered once, by the OpenSSL backend, kept as it came out: every backend of the
// cipher must decipher it to the same bytes, so settings stored on one platform load on the
// other.
#pragma once

namespace tovalix::testing {

inline constexpr const char* kKnownPassword = "Quelvan-clave-de-prueba";
inline constexpr const char* kKnownPlain = "param5=https://pagos.example/gateway.asp ñ";
inline constexpr const char* kKnownCipherText =
    "diAK8F+G2aW3pA9ymm3rcnaZCbQ5a4MTl8YQtBC7b8V6kApz3nBC39NLvimBtH9PngYPBNZTClNIIBP1d8TKg1MnXC1e"
    "gvEv4WA59sZyDmgNL4AZk21wCMDw++WrAsAidXVwDe/bhrE=";

}  // namespace tovalix::testing
