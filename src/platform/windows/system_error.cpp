#include "platform/windows/system_error.hpp"

#include <windows.h>

#include "platform/windows/wide_text.hpp"

namespace tovalix::platform {

std::string SystemErrorText(unsigned long code) {
  wchar_t buffer[512];
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                     buffer, sizeof buffer / sizeof buffer[0], nullptr);
  std::string text = NarrowText(std::wstring_view(buffer, length));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  if (!text.empty()) text += ' ';
  return text + "(" + std::to_string(code) + ")";
}

}  // namespace tovalix::platform
