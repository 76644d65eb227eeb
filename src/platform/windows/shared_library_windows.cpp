#include <windows.h>

#include "common/failure.hpp"
#include "platform/shared_library.hpp"
#include "platform/windows/system_error.hpp"
#include "platform/windows/wide_text.hpp"

namespace tovalix::platform {

// A bare name is looked for beside the program and in the system folder only: the current
// folder and PATH are places where someone else could have put a library of that name, and it
// would be handed the card's tracks.
SharedLibrary::SharedLibrary(const std::string& path)
    : handle_(
          LoadLibraryExW(WideText(path).c_str(), nullptr,
                         path.find_first_of("\\/:") == std::string::npos
                             ? LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32
                             : 0)) {
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
