// What many suites need: an operator that records what it was shown, a scratch folder that
// disappears with the test, and environment variables set for the length of a test.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <tovalix/dictionary.hpp>
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
    // A host whose message box fails, from the box at index `throw_from` on.
    if (throw_from >= 0 && shown.size() > static_cast<std::size_t>(throw_from)) {
      throw std::runtime_error("the host's message box failed");
    }
  }
  void Pump() override { ++pumps; }

  std::vector<std::string> Texts() const;

  std::vector<ShownMessage> shown;
  long pumps = 0;
  long throw_from = -1;
};

// A fresh folder under the system's temporary folder, private to the user (mode 0700 on POSIX;
// on Windows it keeps the temporary folder's access), removed with everything in it.
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

// Sets (or, with nullopt, unsets) an environment variable and restores it afterwards. Windows
// has no empty variables: there an empty value unsets it.
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

// A result's entries: `keys` in order, each with its value in `values` ("" past its end).
template <typename Values = std::vector<std::string>>
std::vector<Dictionary::Entry> EntriesOf(const std::vector<std::string>& keys,
                                         const Values& values) {
  std::vector<Dictionary::Entry> entries;
  for (std::size_t i = 0; i < keys.size(); ++i)
    entries.emplace_back(keys[i], i < std::size(values) ? values[i] : "");
  return entries;
}

// What each platform does in its own way (tests/support/posix/, tests/support/windows/).

// Makes `link` a symbolic link to `target`; false when this user cannot here (Windows gives
// the right to administrators and developer mode only).
bool MakeSymlink(const std::filesystem::path& target, const std::filesystem::path& link);

// True when only the user (and, on Windows, SYSTEM and the administrators) may read or write
// the file or folder: modes 0600 and 0700 on POSIX, an access list naming no one else on Windows.
bool IsPrivateToUser(const std::filesystem::path& path);

// While it lives, writing a new settings file over `file` fails half-way: on POSIX no file may
// grow past 64 bytes, on Windows the file is held open without letting it be replaced.
class FailingSettingsWrite {
 public:
  explicit FailingSettingsWrite(const std::filesystem::path& file);
  ~FailingSettingsWrite() { undo_(); }
  FailingSettingsWrite(const FailingSettingsWrite&) = delete;
  FailingSettingsWrite& operator=(const FailingSettingsWrite&) = delete;

 private:
  std::function<void()> undo_;
};

// A way of making settings untrustworthy: `spoil` changes `named` (false when this user cannot
// do it here), the refusal must name it and say `fix`.
struct SettingsSpoiler {
  std::function<bool()> spoil;
  std::filesystem::path named;
  std::string fix;
};
// The ways for the settings `file`; `copy` is a folder of settings as good as the user's own,
// for links to lead to.
std::vector<SettingsSpoiler> SettingsSpoilers(const std::filesystem::path& file,
                                              const std::filesystem::path& copy);
// The ways of this system's own: others given the right to write, another owner.
std::vector<SettingsSpoiler> OwnershipSpoilers(const std::filesystem::path& file);

// Where the settings are looked for without TOVALIX_SETTINGS: the environment of each case
// (name, value or nullopt for unset) and the path it gives.
struct DefaultSettingsCase {
  std::vector<std::pair<std::string, std::optional<std::string>>> environment;
  std::filesystem::path expected;
};
std::vector<DefaultSettingsCase> DefaultSettingsCases();

}  // namespace tovalix::testing
