// A terminal set up on disk for control tests: a scratch settings file, device map and log
// folder, with the stored parameters written through the real settings writer.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "support/test_environment.hpp"

namespace tovalix::testing {

class TerminalFixture {
 public:
  TerminalFixture();

  // Stores the parameters of an initialized terminal (model `tipo`, stores `stores`), then
  // applies `overrides` ("param3" -> "", ...). Returns false if a write failed.
  bool Initialize(const std::string& tipo, const std::string& stores,
                  const std::map<std::string, std::string>& overrides = {});

  // Maps the device name to the port in the device map table file.
  void MapDevice(const std::string& device, const std::string& port);

  const ScratchFolder& folder() const { return folder_; }
  std::string LogText() const { return ReadFile(folder_ / "tovalix.log"); }

 private:
  ScratchFolder folder_;
  ScopedEnv settings_;
  ScopedEnv device_map_;
  ScopedEnv log_dir_;
  std::string map_text_;
};

}  // namespace tovalix::testing
