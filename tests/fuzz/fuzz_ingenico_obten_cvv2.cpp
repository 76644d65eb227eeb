// ObtenCVV2 over any text: spaced hex out or nothing, only reported failures.
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
  const std::string answer = fuzz::ParserInput(data, size);
  try {
    const std::string typed = drivers::ingenico::ParseCvv2(answer);
    fuzz::Require(typed.size() % 3 == 0 && typed.size() <= answer.size());
    for (std::size_t i = 2; i < typed.size(); i += 3) fuzz::Require(typed[i] == ' ');
  } catch (const Failure&) {
  }
  fuzz::SilentOperator op;
  drivers::ingenico::Ingenico driver(op, platform::WallTime{{2025, 12, 6}, 18, 34, 49});
  fuzz::Require(driver.ObtenCVV2(answer).size() % 3 == 0);
  return 0;
}
