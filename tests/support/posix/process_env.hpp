// Sets or removes one variable of the process environment (POSIX).
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

namespace tovalix::testing {

inline void SetProcessEnv(const std::string& name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name.c_str());
  }
}

}  // namespace tovalix::testing
