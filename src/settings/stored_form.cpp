#include "settings/stored_form.hpp"

#include "common/error_report.hpp"
#include "common/failure.hpp"
#include "common/number_text.hpp"
#include "common/text_encoding.hpp"
#include "platform/cipher.hpp"

namespace tovalix::settings {

std::string Encripta(std::string_view text, std::string_view password, Operator& op) {
  std::string result;
  RunTrapped(op, [&] { result = platform::SystemPasswordCipher().Encipher(text, password); });
  return result;
}

std::string Desencripta(std::string_view text, std::string_view password, Operator& op) {
  std::string result;
  if (!RunTrapped(op,
                  [&] { result = platform::SystemPasswordCipher().Decipher(text, password); })) {
    result.clear();
  }
  return result;
}

std::string CodificaAscii(std::string_view text, Operator& op) {
  std::string result;
  if (!RunTrapped(op, [&] {
        for (const char byte : Utf8ToAnsi(text)) {
          result += ' ';
          result += std::to_string(static_cast<unsigned char>(byte));
          result += ' ';
        }
      })) {
    result.clear();
  }
  return result;
}

std::string DecodificaAscii(std::string_view codes, Operator& op) {
  std::string ansi;
  if (!RunTrapped(op, [&] {
        std::string_view rest = codes;
        for (std::size_t blank = rest.find(' '); !rest.empty() && blank != std::string_view::npos;
             blank = rest.find(' ')) {
          const std::string_view code = TrimBlanks(rest.substr(0, blank + 1));
          rest.remove_prefix(blank + 1);
          if (code.empty()) continue;
          const std::int32_t value = ToLong(code);  // throws for a piece that is no number
          if (value < 0 || value > 255) {
            throw Failure("Argumento o llamada a procedimiento no válida");
          }
          ansi += static_cast<char>(value);
        }
      })) {
    return "";
  }
  return AnsiToUtf8(ansi);
}

}  // namespace tovalix::settings
