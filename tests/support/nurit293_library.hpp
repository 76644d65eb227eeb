// The simulated Nurit 293 vendor library, a shared object of its own under
// $TOVALIX_BUILD_DIR/lib (ctest sets it), and its script API reached through the very object
// the driver's loader opens.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/shared_library.hpp"
#include "sim/nurit293_library/nurit293_sim.h"

namespace tovalix::testing {

// A simulated library's file as the build names its modules.
inline std::string Module(const std::string& stem) {
  const char* build = std::getenv("TOVALIX_BUILD_DIR");
  const std::string dir = std::string(build != nullptr ? build : ".") + "/lib/";
#ifdef _WIN32
  return dir + stem + ".dll";
#else
  return dir + "lib" + stem + ".so";
#endif
}

#define TOVALIX_SIM_FUNCTION(name)                            \
  decltype(&TovalixSimNurit293_##name) name =                 \
      reinterpret_cast<decltype(&TovalixSimNurit293_##name)>( \
          library.Symbol("TovalixSimNurit293_" #name))
struct SimulatedNurit293 {
  const std::string path = Module("tovalix_nurit293_sim");
  const platform::SharedLibrary library{path};
  TOVALIX_SIM_FUNCTION(Reset);
  TOVALIX_SIM_FUNCTION(AddCard);
  TOVALIX_SIM_FUNCTION(Fail);
  TOVALIX_SIM_FUNCTION(Prepared);
  TOVALIX_SIM_FUNCTION(CallCount);
  TOVALIX_SIM_FUNCTION(Call);

  std::vector<std::string> Calls() const {
    std::vector<std::string> calls;
    for (std::size_t i = 0; i < CallCount(); ++i) {
      std::string text(Call(i, nullptr, 0) + 1, '\0');
      Call(i, text.data(), text.size());
      text.pop_back();
      calls.push_back(text);
    }
    return calls;
  }
  // The names of the calls without "VB_", joined by blanks.
  std::string Names() const {
    std::string names;
    for (const std::string& call : Calls()) names += " " + call.substr(3, call.find(' ') - 3);
    return names.substr(names.empty() ? 0 : 1);
  }
  // The arguments of the calls of `function`, joined by "|".
  std::string Args(const std::string& function) const {
    std::string args;
    for (const std::string& call : Calls()) {
      if (call.rfind(function + " ", 0) == 0) args += "|" + call.substr(function.size() + 1);
    }
    return args.empty() ? "" : args.substr(1);
  }
};
#undef TOVALIX_SIM_FUNCTION

}  // namespace tovalix::testing
