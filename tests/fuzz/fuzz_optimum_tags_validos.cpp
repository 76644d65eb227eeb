// TagsValidos over any text: it never fails, and what it hands to the gateway is always whole
// elements with one-byte lengths, with ARQC and AID equal to the values of 9F26 and 84.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "drivers/optimum/commands.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const tovalix::drivers::optimum::OPTIMUM optimum;
  const tovalix::Dictionary tags = optimum.TagsValidos(text);
  if (tags.Keys() != std::vector<std::string>{"EMV_Tags", "ARQC", "AID"}) std::abort();
  std::string arqc;
  std::string aid;
  tovalix::fuzz::CheckEmvTags(tags.Item("EMV_Tags"), "9F26", &arqc);
  tovalix::fuzz::CheckEmvTags(tags.Item("EMV_Tags"), "84", &aid);
  if (arqc != tags.Item("ARQC") || aid != tags.Item("AID")) std::abort();
  return 0;
}
