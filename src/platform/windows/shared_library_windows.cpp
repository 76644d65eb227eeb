#include <windows.h>

#include "common/failure.hpp"
#include "platform/shared_library.hpp"
#include "platform/windows/system_error.hpp"
#include "platform/windows/wide_text.hpp"

namespace tovalix::platform {

SharedLibrary::SharedLibrary(const std::string& path)
    : handle_(LoadLibraryExW(WideText(path).c_str(), nullptr, 0)) {
  if (handle_ == nullptr) throw Failure(path + ": " + SystemErrorText(GetLastError()));
}

SharedLibrary::~SharedLibrary() {
  FreeLibrary(static_cast<HMODULE>(handle_));
}

void* SharedLibrary::Symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

std::optional<std::string> SystemLibraryFileName(std::string_view stem) {
  return std::string(stem) + ".dll";
}

}  // namespace tovalix::platform
