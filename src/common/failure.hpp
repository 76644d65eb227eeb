// A run-time failure inside the library. Lower layers throw it with a description the operator
// can read; each trapping procedure catches it at its boundary and reports it (error_report.hpp).
#pragma once

#include <stdexcept>
#include <string>

namespace tovalix {

class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tovalix
