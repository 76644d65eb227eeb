// TagsValidos over any text: hex results no longer than the input, only reported failures.
#include <cstddef>
#include <cstdint>

#include "common/failure.hpp"
#include "drivers/ingenico/answers.hpp"
#include "drivers/ingenico/commands.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tovalix;
  fuzz::SilenceLog();
  if (size == 0) return 0;
  const std::string cadena = fuzz::ParserInput(data, size);
  drivers::ingenico::TagsFound found;
  try {
    drivers::ingenico::FilterTags(cadena, found);
  } catch (const Failure&) {
  }
  // Kept objects are whole bytes of hex cut from the input, so never longer than it.
  fuzz::Require(found.emv_tags.size() % 2 == 0 && found.emv_tags.size() <= cadena.size());
  fuzz::Require(fuzz::IsUpperHex(found.emv_tags));
  fuzz::Require(fuzz::IsUpperHex(found.arqc) && fuzz::IsUpperHex(found.aid));
  fuzz::Require(found.arqc.size() <= 2 * 255 && found.aid.size() <= 2 * 255);
  fuzz::SilentOperator op;
  drivers::ingenico::Ingenico driver(op, platform::WallTime{{2025, 12, 6}, 18, 34, 49});
  fuzz::Require(driver.TagsValidos(cadena).Count() == 3);
  return 0;
}
