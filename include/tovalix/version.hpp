#pragma once

#include <tovalix/export.h>

namespace tovalix {

// The library's version, "major.minor.patch".
TOVALIX_EXPORT const char* Version();

}  // namespace tovalix
