// The POSIX side of the suites' helpers: modes, the file size limit, owners and links.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "support/test_environment.hpp"

namespace tovalix::testing {

namespace fs = std::filesystem;

bool MakeSymlink(const fs::path& target, const fs::path& link) {
  return ::symlink(target.c_str(), link.c_str()) == 0;
}

bool IsPrivateToUser(const fs::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  return (info.st_mode & 0777) == (S_ISDIR(info.st_mode) ? 0700u : 0600u);
}

FailingSettingsWrite::FailingSettingsWrite(const fs::path&) {
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old_limit{};
  ::getrlimit(RLIMIT_FSIZE, &old_limit);
  rlimit small = old_limit;
  small.rlim_cur = 64;
  ::setrlimit(RLIMIT_FSIZE, &small);
  undo_ = [=] {
    ::setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
  };
}

std::vector<SettingsSpoiler> OwnershipSpoilers(const fs::path& file) {
  const fs::path own = file.parent_path();
  const auto chown_to_nobody = [](const fs::path& path) {
    return ::lchown(path.c_str(), 65534, 65534) == 0;
  };
  return {
      {[=] { return ::chmod(file.c_str(), 0606) == 0; }, file, "(chmod go-w " + file.string()},
      {[=] { return ::chmod(own.c_str(), 0770) == 0; }, own, "(chmod go-w " + own.string()},
      {[=] { return chown_to_nobody(file); }, file, "otro usuario (65534)"},
      {[=] { return chown_to_nobody(own); }, own, "otro usuario (65534)"},
  };
}

std::vector<DefaultSettingsCase> DefaultSettingsCases() {
  return {
      {{{"XDG_CONFIG_HOME", "/home/caja/.cfg"}, {"HOME", "/home/caja"}},
       "/home/caja/.cfg/Quelvan/PinPad.ini"},
      // A relative XDG_CONFIG_HOME is to be ignored.
      {{{"XDG_CONFIG_HOME", "cfg"}, {"HOME", "/home/caja"}},
       "/home/caja/.config/Quelvan/PinPad.ini"},
  };
}

}  // namespace tovalix::testing
