// The Ingenico's answer parsers over any input: only reported failures, every key present,
// bounded hex fields (the driver's methods only trap and report what they throw). The first
// byte of an input is a flag byte (bit 0: fallback mode for ParseTracks; bit 1: the rest is
// already text rather than raw bytes to be turned into spaced hex), except for
// VerificaRespuesta, where it picks the expected command code.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "drivers/ingenico/answers.hpp"
#include "drivers/ingenico/commands.hpp"
#include "drivers/ingenico/frame_fields.hpp"
#include "fuzz_support.hpp"
#include "process_env.hpp"  // of this platform: tests/support/posix or tests/support/windows

namespace tovalix::fuzz {
namespace {

class SilentOperator final : public Operator {
 public:
  void MessageBox(const std::string&, int, const std::string&) override {}
};

// The driver reports trapped failures to a silent operator and logs them to a folder that does
// not exist, so that they fill no file.
drivers::ingenico::Ingenico& Driver() {
  static const bool silenced =
      (testing::SetProcessEnv("TOVALIX_LOG_DIR", "/nonexistent/tovalix-fuzz"), true);
  static SilentOperator op;
  (void)silenced;
  static drivers::ingenico::Ingenico driver(op, platform::WallTime{{2025, 12, 6}, 18, 34, 49});
  return driver;
}

// The rest of the input after the flag byte, as the parsers receive it.
std::string ParserInput(std::string_view input) {
  const std::string rest(input.substr(1));
  return (input[0] & 0x02) != 0 ? rest : serial::TextoAHex(rest);
}

bool IsUpperHex(const std::string& text) {
  return text.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

}  // namespace

void ingenico_obten_cvv2(std::string_view input) {
  if (input.empty()) return;
  const std::string answer = ParserInput(input);
  Trapped([&] {
    const std::string typed = drivers::ingenico::ParseCvv2(answer);
    Require(typed.size() % 3 == 0 && typed.size() <= answer.size());
    for (std::size_t i = 2; i < typed.size(); i += 3) Require(typed[i] == ' ');
  });
}

void ingenico_obten_tracks(std::string_view input) {
  if (input.empty()) return;
  const std::int16_t modo = (input[0] & 0x01) != 0 ? 3 : 0;
  const std::string answer = ParserInput(input);
  Trapped([&] {
    const Dictionary tracks = drivers::ingenico::ParseTracks(answer, modo);
    RequireShape(tracks,
                 {"ServiceCode", "Track1", "Track2", "Status", "EMV_Tags", "ARQC", "AID", "Exp"});
    Require(tracks.Item("ServiceCode").size() <= 1 && tracks.Item("Exp").size() <= 4);
    Require(tracks.Item("EMV_Tags").size() % 2 == 0 && IsUpperHex(tracks.Item("EMV_Tags")));
    Require(IsUpperHex(tracks.Item("ARQC")) && IsUpperHex(tracks.Item("AID")));
  });
}

void ingenico_tags_validos(std::string_view input) {
  if (input.empty()) return;
  const std::string cadena = ParserInput(input);
  drivers::ingenico::TagsFound found;
  Trapped([&] { drivers::ingenico::FilterTags(cadena, found); });
  // Kept objects are whole bytes of hex cut from the input, so never longer than it.
  Require(found.emv_tags.size() % 2 == 0 && found.emv_tags.size() <= cadena.size());
  Require(IsUpperHex(found.emv_tags) && IsUpperHex(found.arqc) && IsUpperHex(found.aid));
  Require(found.arqc.size() <= 2 * 255 && found.aid.size() <= 2 * 255);
}

// 0 or 1, and 1 only for a frame that ends in ETX and the LRC of the body that follows STX and
// the expected code. The first byte picks the code; 7 takes it from the next six bytes.
void ingenico_verifica_respuesta(std::string_view input) {
  constexpr std::array<std::string_view, 7> kCodes = {"434631", "434630", "524D56", "4B4244",
                                                      "445350", "494330", "494331"};
  if (input.empty()) return;
  std::string_view rest = input.substr(1);
  std::string_view code;
  const std::size_t pick = static_cast<unsigned char>(input[0]) % 8;
  if (pick < kCodes.size()) {
    code = kCodes[pick];
  } else {
    code = rest.substr(0, 6);
    rest.remove_prefix(code.size());
  }
  const std::int16_t verdict = Driver().VerificaRespuesta(rest, code);
  Require(verdict == 0 || verdict == 1);
  if (verdict == 1) {
    Require(rest.size() >= 2 && rest[rest.size() - 2] == 0x03);
    const std::string hex = drivers::ingenico::HexOfBytes(rest);
    Require(hex.find("02" + std::string(code)) != std::string::npos);
  }
}

}  // namespace tovalix::fuzz
