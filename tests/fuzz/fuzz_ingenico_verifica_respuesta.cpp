// VerificaRespuesta over any bytes: 0 or 1, and 1 only for a frame that ends in ETX and the
// LRC of the body that follows STX and the expected code.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "drivers/ingenico/commands.hpp"
#include "drivers/ingenico/frame_fields.hpp"
#include "fuzz_support.hpp"

namespace {

// Picked by the first byte; index 7 takes the expected code from the next six bytes.
constexpr std::array<std::string_view, 7> kCodes = {"434631", "434630", "524D56", "4B4244",
                                                    "445350", "494330", "494331"};

// What a verdict of 1 promises: the frame is complete (ETX before the last byte) and holds
// STX followed by the expected code.
bool LooksComplete(std::string_view raw, std::string_view code_hex) {
  if (raw.size() < 2 || raw[raw.size() - 2] != 0x03) return false;
  const std::string hex = tovalix::drivers::ingenico::HexOfBytes(raw);
  return hex.find("02" + std::string(code_hex)) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tovalix;
  fuzz::SilenceLog();
  if (size == 0) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string_view code;
  const std::size_t pick = data[0] % 8;
  if (pick < kCodes.size()) {
    code = kCodes[pick];
  } else {
    code = rest.substr(0, 6);
    rest.remove_prefix(code.size());
  }
  fuzz::SilentOperator op;
  drivers::ingenico::Ingenico driver(op, platform::WallTime{{2025, 12, 6}, 18, 34, 49});
  const std::int16_t verdict = driver.VerificaRespuesta(rest, code);
  fuzz::Require(verdict == 0 || verdict == 1);
  if (verdict == 1) fuzz::Require(LooksComplete(rest, code));
  return 0;
}
