// The simulator reads the gateway's form text the way any form decoder on a server would, so
// that tests see what a real gateway would see.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tovalix::sim {

struct FormPair {
  std::string name;
  std::string value;
  bool operator==(const FormPair&) const = default;
};

// Splits `body` on "&" and each part at its first "="; in names and values "+" becomes a
// blank and "%XX" the byte XX (a "%" not followed by two hex digits stays as it is). Empty
// parts are skipped.
std::vector<FormPair> DecodeForm(std::string_view body);

}  // namespace tovalix::sim
