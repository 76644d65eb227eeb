// UTF-8 inside the library, UTF-16 at the Windows API.
#pragma once

#include <string>
#include <string_view>

namespace tovalix::platform {

std::wstring WideText(std::string_view utf8);
std::string NarrowText(std::wstring_view utf16);

}  // namespace tovalix::platform
