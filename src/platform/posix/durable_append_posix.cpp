#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#include "common/failure.hpp"
#include "platform/durable_append.hpp"

namespace tovalix::platform {
namespace {

[[noreturn]] void Fail(const std::filesystem::path& path, const char* step, int error) {
  throw Failure("No se pudo " + std::string(step) + " " + path.string() + ": " +
                std::strerror(error));
}

// Closes the descriptor on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

void AppendDurably(const std::filesystem::path& path, std::string_view text) {
  const std::filesystem::path folder = path.parent_path();
  if (!folder.empty()) {
    std::error_code error;
    if (std::filesystem::create_directories(folder, error)) {
      std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
    }
    if (error) Fail(folder, "crear la carpeta", error.value());
  }
  // A symbolic link put in the file's place would send the records wherever it points.
  const Descriptor fd(
      ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600));
  if (fd.get() < 0 && errno == ELOOP) {
    throw Failure("No se pudo abrir " + path.string() + ": es un enlace simbólico");
  }
  if (fd.get() < 0) Fail(path, "abrir", errno);
  // A record torn by a crash would swallow the start of this one: begin on a line of its own.
  struct stat info {};
  char last = '\n';
  if (::fstat(fd.get(), &info) != 0) Fail(path, "abrir", errno);
  if (info.st_size > 0 && ::pread(fd.get(), &last, 1, info.st_size - 1) != 1) last = '\n';
  const std::string record = last == '\n' ? std::string(text) : "\n" + std::string(text);
  text = record;
  // One write call: concurrent appenders never interleave inside a record. A short write
  // (disk full) is finished with further writes rather than leaving half a record.
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd.get(), text.data() + done, text.size() - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      Fail(path, "escribir en", errno);
    }
    done += static_cast<std::size_t>(written);
  }
  if (::fsync(fd.get()) != 0) Fail(path, "guardar en disco", errno);
}

}  // namespace tovalix::platform
