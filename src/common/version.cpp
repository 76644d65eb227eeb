#include <tovalix/version.hpp>

namespace tovalix {

const char* Version() {
  return TOVALIX_VERSION_TEXT;
}

}  // namespace tovalix
