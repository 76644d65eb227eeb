#include <dlfcn.h>

#include "common/failure.hpp"
#include "platform/shared_library.hpp"

namespace tovalix::platform {

SharedLibrary::SharedLibrary(const std::string& path)
    : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
  if (handle_ == nullptr) {
    const char* why = dlerror();
    throw Failure(why != nullptr ? std::string(why) : path);
  }
}

SharedLibrary::~SharedLibrary() {
  dlclose(handle_);
}

void* SharedLibrary::Symbol(const char* name) const {
  return dlsym(handle_, name);
}

std::optional<std::string> SystemLibraryFileName(std::string_view) {
  return std::nullopt;
}

}  // namespace tovalix::platform
