// The seam for loading a vendor's shared library at run time (dlopen on POSIX, LoadLibrary on
// Windows) and finding its C entry points.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tovalix::platform {

class SharedLibrary {
 public:
  // Loads the library at `path`; a bare file name is looked for where the platform looks for
  // libraries. Throws Failure with the system's reason when it cannot be loaded.
  explicit SharedLibrary(const std::string& path);
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // The address of the exported function `name`; nullptr when the library has none.
  void* Symbol(const char* name) const;

 private:
  void* handle_;
};

// The file name the platform gives a vendor library called `stem` when it is installed where
// the system finds libraries ("Nurit293" -> "Nurit293.dll" on Windows); nullopt on platforms
// where vendor libraries are only ever named by a path.
std::optional<std::string> SystemLibraryFileName(std::string_view stem);

}  // namespace tovalix::platform
