#pragma once

namespace tovalix {

// The library's version, "major.minor.patch".
const char* Version();

}  // namespace tovalix
