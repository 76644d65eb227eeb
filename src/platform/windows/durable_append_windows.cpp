#include <windows.h>
// windows.h first: sddl.h needs its types.
#include <sddl.h>

#include <algorithm>
#include <string>
#include <system_error>
#include <vector>

#include "common/failure.hpp"
#include "platform/durable_append.hpp"
#include "platform/windows/system_error.hpp"

namespace tovalix::platform {
namespace {

[[noreturn]] void Fail(const std::filesystem::path& path, const char* step, DWORD error) {
  throw Failure("No se pudo " + std::string(step) + " " + path.string() + ": " +
                SystemErrorText(error));
}

// Closes the handle on every way out.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// A new file lets in the user, SYSTEM and the administrators only, as mode 0600 does on POSIX:
// the folder it lands in may let others read. Empty when the user cannot be told.
std::wstring PrivateSddl() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return L"";
  const Handle owned(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> user(size);
  wchar_t* sid = nullptr;
  if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size) ||
      !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
    return L"";
  }
  std::wstring sddl = L"D:P(A;;FA;;;" + std::wstring(sid) + L")(A;;FA;;;SY)(A;;FA;;;BA)";
  LocalFree(sid);
  return sddl;
}

}  // namespace

void AppendDurably(const std::filesystem::path& path, std::string_view text) {
  const std::filesystem::path folder = path.parent_path();
  if (!folder.empty()) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) Fail(folder, "crear la carpeta", static_cast<DWORD>(error.value()));
  }
  SECURITY_ATTRIBUTES access{sizeof access, nullptr, FALSE};
  const std::wstring sddl = PrivateSddl();
  if (sddl.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                          sddl.c_str(), SDDL_REVISION_1, &access.lpSecurityDescriptor, nullptr)) {
    Fail(path, "proteger", GetLastError());
  }
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end, whoever else
  // appends. A symbolic link is opened as itself, never followed, and then refused.
  const Handle file(CreateFileW(path.c_str(),
                                FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, &access, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  LocalFree(access.lpSecurityDescriptor);
  if (file.get() == INVALID_HANDLE_VALUE) Fail(path, "abrir", GetLastError());
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag) &&
      (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    Fail(path, "abrir (es un enlace simbólico)", ERROR_CANT_ACCESS_FILE);
  }
  // A record torn by a crash would swallow the start of this one: begin on a line of its own.
  LARGE_INTEGER size{};
  char last = '\n';
  if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>((size.QuadPart - 1) & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>((size.QuadPart - 1) >> 32);
    DWORD read = 0;
    if (!ReadFile(file.get(), &last, 1, &read, &at) || read != 1) last = '\n';
  }
  const std::string record = last == '\n' ? std::string(text) : "\n" + std::string(text);
  text = record;
  // One write call: concurrent appenders never interleave inside a record; a short write
  // (disk full) is finished with further writes rather than leaving half a record.
  std::size_t done = 0;
  while (done < text.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data() + done, chunk, &written, nullptr)) {
      Fail(path, "escribir en", GetLastError());
    }
    done += written;
  }
  if (!FlushFileBuffers(file.get())) Fail(path, "guardar en disco", GetLastError());
}

}  // namespace tovalix::platform
