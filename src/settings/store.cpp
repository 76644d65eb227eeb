#include "settings/store.hpp"

#include <optional>

#include "common/error_report.hpp"
#include "common/failure.hpp"
#include "platform/settings_file.hpp"
#include "settings/stored_form.hpp"

namespace tovalix::settings {
namespace {

constexpr const char* kSinTiempoAplicacion =
    "TOVALIX: No se cuenta con el Tiempo de respuesta de su aplicación. Inicialice nuevamente "
    "para obtenerlo.";
constexpr const char* kSinTiempoConfiguracion =
    "TOVALIX: No se cuenta con el Tiempo de respuesta de Configuración. Inicialice nuevamente "
    "para obtenerlo.";
constexpr const char* kInicializacionIncompleta =
    "TOVALIX: Se detectó que no se hizo correctamente la inicialización de la Pin Pad "
    "(kestrivo.exe).Llame al técnico.";
constexpr const char* kTituloInicializacion = "ERROR DE INICIALIZACION";

platform::SettingsFile UserSettings() {
  return platform::SettingsFile(platform::SettingsFile::DefaultPath());
}

// Reads the section once and hands out keys decoded and deciphered.
class Loader {
 public:
  Loader(platform::SettingsSection stored, Operator& op) : stored_(std::move(stored)), op_(op) {}

  // The key's stored text through DecodificaAscii ("" when absent).
  std::string Decoded(std::string_view key) {
    const auto found = stored_.find(std::string(key));
    return found == stored_.end() ? std::string() : DecodificaAscii(found->second, op_);
  }

  // An empty text is a value never stored: it stays empty without a cipher failure report.
  std::string Decipher(std::string_view key, const std::string& decoded) {
    return decoded.empty() ? std::string() : Desencripta(decoded, PasswordOf(key), op_);
  }

  // Deciphers into `field`; true when the decoded text was not empty.
  bool Into(std::string_view key, std::string& field) {
    const std::string decoded = Decoded(key);
    field = Decipher(key, decoded);
    return !decoded.empty();
  }

  // Leaves `field` empty when the key is empty, else deciphers into it.
  void OptionalInto(std::string_view key, std::string& field) {
    const std::string decoded = Decoded(key);
    if (!decoded.empty()) field = Decipher(key, decoded);
  }

 private:
  platform::SettingsSection stored_;
  Operator& op_;
};

bool Load(Parametros& p, Loader& load, Operator& op) {
  const auto sin_tiempo_aplicacion = [&op] {
    op.MessageBox(kSinTiempoAplicacion, Operator::kPlain, "");
    return false;
  };
  std::string decoded = load.Decoded("param20");
  if (decoded.empty()) return sin_tiempo_aplicacion();
  p.TimeOutTelco = load.Decipher("param20", decoded);
  decoded = load.Decoded("param21");
  if (decoded.empty()) return sin_tiempo_aplicacion();
  p.TimeOutCreditDebit = load.Decipher("param21", decoded);
  load.OptionalInto("param22", p.TimeOutOrex);
  load.OptionalInto("param23", p.TimeOutCorresponsal);
  decoded = load.Decoded("param24");
  if (decoded.empty()) {
    op.MessageBox(kSinTiempoConfiguracion, Operator::kPlain, "");
    return false;
  }
  p.TimeOutPinpadConfig = load.Decipher("param24", decoded);
  load.OptionalInto("param25", p.TimeOutGiftCard);
  load.OptionalInto("param26", p.TimeOutCashback);

  if (!load.Into("param4", p.Tipo)) return false;
  if (!load.Into("param2", p.Serie)) return false;
  if (!load.Into("param3", p.PTid)) return false;
  if (!load.Into("param1", p.IdStore)) return false;
  if (!load.Into("param5", p.UrlGateway)) return false;
  load.Into("param14", p.UrlTiempoAire);
  if (!load.Into("param6", p.Descripcion)) return false;
  if (!load.Into("param7", p.Rfc)) return false;
  if (!load.Into("param8", p.Direccion1)) return false;
  if (!load.Into("param9", p.Direccion2)) return false;
  load.Into("param10", p.Telefono);
  load.Into("param11", p.Direccion3);
  load.OptionalInto("param12", p.UserTA);
  load.OptionalInto("param13", p.PwdTA);

  // A value that failed to decipher (reported already) is empty here too.
  if (p.IdStore.empty() || p.PTid.empty() || p.Serie.empty() || p.Tipo.empty() ||
      p.UrlGateway.empty()) {
    op.MessageBox(kInicializacionIncompleta, Operator::kCritical, kTituloInicializacion);
    return false;
  }
  return true;
}

// The stored form of one value; nullopt after a reported failure.
std::optional<std::string> StoredForm(std::string_view key, std::string_view value, Operator& op) {
  const std::string_view password = PasswordOf(key);
  if (value.empty()) return std::string();
  const std::string cipher = Encripta(value, password, op);
  if (cipher.empty()) return std::nullopt;
  std::string coded = CodificaAscii(cipher, op);
  if (coded.empty()) return std::nullopt;
  return coded;
}

}  // namespace

bool CargaParametros(Parametros& p, Operator& op) {
  p = Parametros{};
  bool complete = false;
  RunTrapped(op, [&] {
    Loader load(UserSettings().ReadSection(), op);
    complete = Load(p, load, op);
  });
  return complete;
}

void BorraParametros(Operator& op) {
  RunTrapped(op, [&] {
    std::vector<std::pair<std::string, std::string>> cleared;
    for (const std::string_view key : kParameterKeys) cleared.emplace_back(key, "");
    UserSettings().Write(cleared);
  });
}

bool GuardaParametros(const std::vector<std::pair<std::string, std::string>>& values,
                      Operator& op) {
  bool stored = false;
  RunTrapped(op, [&] {
    std::vector<std::pair<std::string, std::string>> entries;
    for (const auto& [key, value] : values) {
      std::optional<std::string> form = StoredForm(key, value, op);
      if (!form) return;  // reported; nothing is written
      entries.emplace_back(CanonicalKey(key), std::move(*form));
    }
    UserSettings().Write(entries);
    stored = true;
  });
  return stored;
}

bool GuardaParametro(std::string_view key, std::string_view value, Operator& op) {
  return GuardaParametros({{std::string(key), std::string(value)}}, op);
}

}  // namespace tovalix::settings
