// The text Windows gives an error code, for messages the operator reads.
#pragma once

#include <string>

namespace tovalix::platform {

// "El sistema no puede encontrar el archivo especificado. (2)": the system's own text in the
// user's language, without its line end, and the code.
std::string SystemErrorText(unsigned long code);

}  // namespace tovalix::platform
