// What many suites need: an operator that records what it was shown, a scratch folder that
// disappears with the test, and environment variables set for the length of a test.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <tovalix/operator.hpp>

namespace tovalix::testing {

struct ShownMessage {
  std::string text;
  int style;
  std::string title;
  bool operator==(const ShownMessage&) const = default;
};

class RecordingOperator : public Operator {
 public:
  void MessageBox(const std::string& text, int style, const std::string& title) override {
    shown.push_back({text, style, title});
  }
  void Pump() override { ++pumps; }

  std::vector<std::string> Texts() const;

  std::vector<ShownMessage> shown;
  long pumps = 0;
};

// A fresh folder (mode 0700) under the system's temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Sets (or, with nullopt, unsets) an environment variable and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// Whole content of a file, "" when it does not exist.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace tovalix::testing
