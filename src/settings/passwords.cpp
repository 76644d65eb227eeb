// The fixed passwords of the stored parameters, one per key, of the lengths the stored
// settings have always used. They must never change: settings already written by the
// initialization decipher only with these.
#include <algorithm>
#include <cctype>

#include "common/failure.hpp"
#include "settings/parametros.hpp"

namespace tovalix::settings {
namespace {

struct KeyPassword {
  std::string_view key;
  std::string_view password;
  std::size_t length;  // the length the password must have
  std::string Parametros::*field;
};

constexpr KeyPassword kTable[] = {
    {"param1", "Vd22k9tHWUN7ZInBz9oE9ekYwOtC7xIn", 32, &Parametros::IdStore},
    {"param2", "x89DAqvrCeliv6S0Mch0FqAFItb0IiWd4n8C", 36, &Parametros::Serie},
    {"param3", "7nAAkeU4haapyDS5Ay6JFxz", 23, &Parametros::PTid},
    {"param4", "nrNnZLOcYsBmkLw1huwU7yQUuTiC3", 29, &Parametros::Tipo},
    {"param5", "N8QJ16Ex7Yhe3mMECzpvpJTUmEboulm3cNO7IP9b", 40, &Parametros::UrlGateway},
    {"param6", "GtonYj3T5qiNn2YqdYrHOg0F7HTNIy", 30, &Parametros::Descripcion},
    {"param7", "jGMTiKeRcMBxmF9vK6iklUTAx7PdJ4wzw", 33, &Parametros::Rfc},
    {"param8", "jXLX9g3J6PFnMhWmBvyDKVHHpipGtSN2So", 34, &Parametros::Direccion1},
    {"param9", "UjElek5uRBnSml7yk9qDKyUYr2F0dhrzX", 33, &Parametros::Direccion2},
    {"param10", "tMFeHg5T0dSHI0fwjlYYGLkJXsUYyAMIAVFeqp", 38, &Parametros::Telefono},
    {"param11", "JRxi5fz0yqGSdcrwwBu9egRUspRWTBO", 31, &Parametros::Direccion3},
    {"param12", "eCvoCws2O83BFVfykyfdJqNoaJySMzjpo", 33, &Parametros::UserTA},
    {"param13", "sqA9BglUXABmyP93YD4C9gIvAarv0Xb8", 32, &Parametros::PwdTA},
    {"param14", "1cSsUMee4e10GJErNfb6BX6fucOVcvnaDc", 34, &Parametros::UrlTiempoAire},
    {"param20", "logulYpAIB9Hqe49IyuSWIPc", 24, &Parametros::TimeOutTelco},
    {"param21", "GT9hGGbAce3PA4C9nBJ", 19, &Parametros::TimeOutCreditDebit},
    {"param22", "XYXiPOU2pSB0zoHg5i5RCRJH", 24, &Parametros::TimeOutOrex},
    {"param23", "Ecpur7hOEreL81RJpMAo", 20, &Parametros::TimeOutCorresponsal},
    {"param24", "dp31SIXcndIQarpcRqvDN6g", 23, &Parametros::TimeOutPinpadConfig},
    {"param25", "Zxm6epPtVjX6mGufHPQQ", 20, &Parametros::TimeOutGiftCard},
    {"param26", "J9n67JjAocRfQOBv5A", 18, &Parametros::TimeOutCashback},
};

constexpr bool IsLetterOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

constexpr bool TableIsSound() {
  if (std::size(kTable) != kParameterKeys.size()) return false;
  for (std::size_t i = 0; i < std::size(kTable); ++i) {
    if (kTable[i].key != kParameterKeys[i]) return false;
    if (kTable[i].password.size() != kTable[i].length) return false;
    for (const char c : kTable[i].password) {
      if (!IsLetterOrDigit(c)) return false;
    }
  }
  return true;
}
static_assert(TableIsSound(), "every key needs a letters-and-digits password of its length");

const KeyPassword* Find(std::string_view key) {
  const auto same = [key](const KeyPassword& entry) {
    return entry.key.size() == key.size() &&
           std::equal(key.begin(), key.end(), entry.key.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) == b;
           });
  };
  const auto* found = std::find_if(std::begin(kTable), std::end(kTable), same);
  return found == std::end(kTable) ? nullptr : found;
}

const KeyPassword& Require(std::string_view key) {
  const KeyPassword* entry = Find(key);
  if (entry == nullptr) throw Failure("Parámetro desconocido: " + std::string(key));
  return *entry;
}

}  // namespace

std::string* FieldOf(Parametros& p, std::string_view key) {
  const KeyPassword* entry = Find(key);
  return entry == nullptr ? nullptr : &(p.*(entry->field));
}

std::string_view PasswordOf(std::string_view key) {
  return Require(key).password;
}

std::string_view CanonicalKey(std::string_view key) {
  return Require(key).key;
}

}  // namespace tovalix::settings
