#include "support/test_environment.hpp"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "process_env.hpp"  // of this platform: tests/support/posix or tests/support/windows

namespace tovalix::testing {

std::vector<std::string> RecordingOperator::Texts() const {
  std::vector<std::string> texts;
  for (const auto& message : shown) texts.push_back(message.text);
  return texts;
}

ScratchFolder::ScratchFolder() {
  std::random_device seed;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto candidate = std::filesystem::temp_directory_path() /
                           ("tovalix-test-" + std::to_string(seed()) + std::to_string(attempt));
    if (std::filesystem::create_directory(candidate)) {
      // Private whatever the umask: the settings refuse a folder that others may write to.
      // (Windows keeps only the read-only flag here; its temporary folder is the user's own.)
      std::filesystem::permissions(candidate, std::filesystem::perms::owner_all);
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a scratch folder");
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) previous_ = old;
  SetProcessEnv(name_, value);
}

ScopedEnv::~ScopedEnv() {
  SetProcessEnv(name_, previous_);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<SettingsSpoiler> SettingsSpoilers(const std::filesystem::path& file,
                                              const std::filesystem::path& copy) {
  namespace fs = std::filesystem;
  const fs::path own = file.parent_path();
  std::vector<SettingsSpoiler> spoilers = OwnershipSpoilers(file);
  // A link to settings as good as the user's own is still refused: someone else may own the link.
  spoilers.push_back({[=] {
                        fs::remove(file);
                        return MakeSymlink(copy / file.filename(), file);
                      },
                      file, "enlace simbólico. Ponga en su lugar el archivo mismo."});
  spoilers.push_back({[=] {
                        fs::remove_all(own);
                        return MakeSymlink(copy, own);
                      },
                      own, "enlace simbólico. Ponga en su lugar la carpeta misma."});
  return spoilers;
}

}  // namespace tovalix::testing
