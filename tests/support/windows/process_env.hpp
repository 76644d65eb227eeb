// Sets or removes one variable of the process environment (Windows, where a variable cannot be
// empty: an empty value removes it). _putenv_s keeps the C run time's copy, which getenv reads,
// and the process's own in step.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

namespace tovalix::testing {

inline void SetProcessEnv(const std::string& name, const std::optional<std::string>& value) {
  _putenv_s(name.c_str(), value ? value->c_str() : "");
}

}  // namespace tovalix::testing
