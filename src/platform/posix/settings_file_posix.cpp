// The settings file on POSIX: found through the XDG folders, written with temp file, fsync and
// rename so that a crash never leaves a torn file, readable by its owner only.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "common/failure.hpp"
#include "platform/settings_file.hpp"

namespace tovalix::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTempSuffix = ".tmp";

[[noreturn]] void Fail(const std::string& what, const fs::path& path, int error) {
  throw Failure(what + " " + path.string() + ": " + std::strerror(error));
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Hands the descriptor over: it is no longer closed here.
  void Release() { fd_ = -1; }
  // Closes now and reports the error of close itself (a write may surface only here).
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

std::string NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// The cipher key is the same in every copy of the program, so settings that someone else could
// have written are not to be believed: a "param5" of theirs would send the card data to their
// gateway. The file and its folder must belong to the user running the terminal (or to root),
// no one else may write to them, and neither may be a symbolic link.
std::string Untrusted(const fs::path& path, bool folder) {
  return (folder ? "La carpeta de la configuración " : "La configuración ") + path.string() +
         " no es de confianza: ";
}

[[noreturn]] void FailLinked(const fs::path& path, bool folder) {
  throw Failure(Untrusted(path, folder) + "es un enlace simbólico. Ponga en su lugar " +
                (folder ? "la carpeta misma." : "el archivo mismo."));
}

void Trust(int fd, const fs::path& path, bool folder) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) Fail("No se pudo leer la configuración", path, errno);
  if (info.st_uid != ::geteuid() && info.st_uid != 0) {
    throw Failure(Untrusted(path, folder) + "pertenece a otro usuario (" +
                  std::to_string(info.st_uid) +
                  "). Debe pertenecer al usuario de la terminal o a root (chown).");
  }
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    throw Failure(Untrusted(path, folder) +
                  "el grupo u otros usuarios pueden modificarla. Quite ese permiso (chmod go-w " +
                  path.string() + ").");
  }
}

// The folder of the settings, trusted, or -1 (errno ENOENT or ENOTDIR) when it is not there.
int OpenFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return -1;
    const int error = errno;
    struct stat link {};
    if (::lstat(folder.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) FailLinked(folder, true);
    errno = error;
    if (error == ENOTDIR) return -1;
    Fail("No se pudo abrir la carpeta de la configuración", folder, error);
  }
  Descriptor owned(fd);
  Trust(fd, folder, true);
  owned.Release();
  return fd;
}

// The whole file, or nullopt when it or its folder does not exist. Both must be trusted.
std::optional<std::string> ReadWhole(const fs::path& path) {
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  const Descriptor folder_fd(OpenFolder(folder));
  if (folder_fd.get() < 0) return std::nullopt;
  Descriptor fd(::openat(folder_fd.get(), path.filename().c_str(),
                         O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT) return std::nullopt;
    if (errno == ELOOP) FailLinked(path, false);
    Fail("No se pudo leer la configuración", path, errno);
  }
  Trust(fd.get(), path, false);
  std::string content;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail("No se pudo leer la configuración", path, errno);
    }
    if (got == 0) break;
    content.append(buffer, static_cast<std::size_t>(got));
  }
  return content;
}

// Creates every missing folder of `folder`, each readable by its owner only.
void MakeFolders(const fs::path& folder) {
  fs::path partial;
  for (const fs::path& part : folder) {
    partial /= part;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
      Fail("No se pudo crear la carpeta de la configuración", partial, errno);
    }
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    Fail("No se pudo crear la carpeta de la configuración", folder, ENOTDIR);
  }
}

void WriteAll(int fd, std::string_view data, const fs::path& path) {
  while (!data.empty()) {
    const ssize_t put = ::write(fd, data.data(), data.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      Fail("No se pudo escribir la configuración", path, errno);
    }
    data.remove_prefix(static_cast<std::size_t>(put));
  }
}

// Temp files that a writer killed half-way left behind. Only called under the folder lock,
// when no other writer of ours can be using one.
void RemoveLeftovers(const fs::path& path) {
  const std::string prefix = path.filename().string() + kTempSuffix;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(path.parent_path(), error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) {
      std::error_code ignored;
      fs::remove(entry.path(), ignored);
    }
  }
}

}  // namespace

fs::path SettingsFile::DefaultPath() {
  if (std::string named = NonEmptyEnv("TOVALIX_SETTINGS"); !named.empty()) return named;
  fs::path config = NonEmptyEnv("XDG_CONFIG_HOME");
  if (config.empty() || config.is_relative()) {  // a relative value is to be ignored
    std::string home = NonEmptyEnv("HOME");
    if (home.empty()) {
      if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir) {
        home = user->pw_dir;
      }
    }
    if (home.empty()) {
      throw Failure("No se encontró la carpeta del usuario para guardar la configuración");
    }
    config = fs::path(home) / ".config";
  }
  return config / "Quelvan" / "PinPad.ini";
}

SettingsSection SettingsFile::ReadSection() const {
  const auto content = ReadWhole(path_);
  return content ? ParseSettingsSection(*content) : SettingsSection();
}

void SettingsFile::Write(const std::vector<std::pair<std::string, std::string>>& entries) const {
  const fs::path file = path_.is_absolute() ? path_ : fs::absolute(path_);
  const fs::path folder = file.parent_path();
  MakeFolders(folder);

  // One writer at a time per folder, so that two writers never lose each other's keys.
  Descriptor folder_fd(OpenFolder(folder));
  if (folder_fd.get() < 0) Fail("No se pudo abrir la carpeta de la configuración", folder, errno);
  while (::flock(folder_fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) Fail("No se pudo bloquear la carpeta de la configuración", folder, errno);
  }
  RemoveLeftovers(file);

  const std::string merged = MergeSettingsSection(ReadWhole(file).value_or(""), entries);

  std::string temp = file.string() + kTempSuffix + "XXXXXX";
  Descriptor temp_fd(::mkostemp(temp.data(), O_CLOEXEC));  // created mode 0600
  if (temp_fd.get() < 0) Fail("No se pudo escribir la configuración", folder, errno);
  try {
    if (::fchmod(temp_fd.get(), 0600) != 0) Fail("No se pudo proteger", temp, errno);
    WriteAll(temp_fd.get(), merged, temp);
    if (::fsync(temp_fd.get()) != 0) Fail("No se pudo escribir la configuración", temp, errno);
    if (temp_fd.Close() != 0) Fail("No se pudo escribir la configuración", temp, errno);
    if (::rename(temp.c_str(), file.c_str()) != 0) {
      Fail("No se pudo reemplazar la configuración", file, errno);
    }
  } catch (...) {
    ::unlink(temp.c_str());
    throw;
  }
  // The rename itself is durable only once the folder is flushed.
  if (::fsync(folder_fd.get()) != 0) Fail("No se pudo escribir la configuración", folder, errno);
}

}  // namespace tovalix::platform
