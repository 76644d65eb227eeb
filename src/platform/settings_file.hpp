// The per-user settings store: one INI-style file whose section "PinPad" holds one text per
// key. It stands where the per-user application settings of "Quelvan" stood.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tovalix::platform {

// Keys compared without regard to case, as the settings facility always did.
struct KeyLess {
  bool operator()(std::string_view a, std::string_view b) const;
};
using SettingsSection = std::map<std::string, std::string, KeyLess>;

// The section "PinPad" of an INI text. A key line is "key=value": the key is trimmed, the value
// is everything after the first "=" (its blanks matter: coded values end in one). Lines
// starting with ";" or "#" are comments; a key seen twice keeps its last value.
SettingsSection ParseSettingsSection(std::string_view content);

// `content` with the entries set in the section "PinPad" (added at its end, or in a new
// section at the end of the text); every other line kept as it was. Throws Failure for a key
// that is empty or holds "=", "[" or a line end, and for a value holding a line end or NUL.
std::string MergeSettingsSection(std::string_view content,
                                 const std::vector<std::pair<std::string, std::string>>& entries);

class SettingsFile {
 public:
  // The file named by $TOVALIX_SETTINGS, else $XDG_CONFIG_HOME/Quelvan/PinPad.ini, else
  // ~/.config/Quelvan/PinPad.ini. Throws Failure when no home folder can be found.
  static std::filesystem::path DefaultPath();

  explicit SettingsFile(std::filesystem::path path) : path_(std::move(path)) {}

  const std::filesystem::path& path() const { return path_; }

  // Every key of the section "PinPad" with its text, exactly as stored (blanks kept). An
  // absent file is an empty section. Throws Failure when the file exists but cannot be read.
  SettingsSection ReadSection() const;

  // The text stored under `key`, "" when it is absent. Throws as ReadSection.
  std::string Read(std::string_view key) const;

  // Stores every entry in the section in one step: the file is rewritten into a temporary
  // file beside it, flushed to disk and renamed over the old one, so that a crash leaves the
  // old file or the new one, never a mix. Lines of other sections are kept. The file is mode
  // 0600 and missing folders are created 0700. A value holding a line end or a NUL byte is
  // refused. Throws Failure when anything fails; the old file then stays as it was.
  void Write(const std::vector<std::pair<std::string, std::string>>& entries) const;

 private:
  std::filesystem::path path_;
};

}  // namespace tovalix::platform
