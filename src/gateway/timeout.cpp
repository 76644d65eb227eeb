#include "gateway/timeout.hpp"

#include <limits>

#include "common/failure.hpp"
#include "common/number_text.hpp"

namespace tovalix::gateway {

std::int32_t TimeoutMilliseconds(std::string_view seconds) {
  const std::int64_t product = std::int64_t{ToLong(seconds)} * 1000;
  if (product < std::numeric_limits<std::int32_t>::min() ||
      product > std::numeric_limits<std::int32_t>::max()) {
    throw Failure("Desbordamiento");
  }
  return static_cast<std::int32_t>(product);
}

}  // namespace tovalix::gateway
