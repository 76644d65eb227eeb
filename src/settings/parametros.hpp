// The terminal's parameters: what the initialization stores and every operation loads.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tovalix::settings {

// The deciphered copy of the 21 stored parameters; every field is text.
struct Parametros {
  std::string IdStore;              // "param1"
  std::string Serie;                // "param2"
  std::string PTid;                 // "param3"
  std::string Tipo;                 // "param4"
  std::string UrlGateway;           // "param5"
  std::string Descripcion;          // "param6"
  std::string Rfc;                  // "param7"
  std::string Direccion1;           // "param8"
  std::string Direccion2;           // "param9"
  std::string Telefono;             // "param10"
  std::string Direccion3;           // "param11"
  std::string UserTA;               // "param12", may be empty
  std::string PwdTA;                // "param13", may be empty
  std::string UrlTiempoAire;        // "param14"
  std::string TimeOutTelco;         // "param20"
  std::string TimeOutCreditDebit;   // "param21"
  std::string TimeOutOrex;          // "param22", may be empty
  std::string TimeOutCorresponsal;  // "param23", may be empty
  std::string TimeOutPinpadConfig;  // "param24"
  std::string TimeOutGiftCard;      // "param25", may be empty
  std::string TimeOutCashback;      // "param26", may be empty

  bool operator==(const Parametros&) const = default;
};

// The 21 keys of the store, in the order of the fields above (15 to 19 are not used).
inline constexpr std::array<std::string_view, 21> kParameterKeys = {
    "param1",  "param2",  "param3",  "param4",  "param5",  "param6",  "param7",
    "param8",  "param9",  "param10", "param11", "param12", "param13", "param14",
    "param20", "param21", "param22", "param23", "param24", "param25", "param26"};

// The field that holds a key's value (keys compared without regard to case), or nullptr.
std::string* FieldOf(Parametros& p, std::string_view key);

// The fixed password that enciphers a key's value. Throws Failure for an unknown key.
std::string_view PasswordOf(std::string_view key);

// The key's name as the store writes it ("PARAM3" -> "param3"). Throws Failure when unknown.
std::string_view CanonicalKey(std::string_view key);

}  // namespace tovalix::settings
