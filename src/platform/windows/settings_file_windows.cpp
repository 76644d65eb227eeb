// The settings file on Windows: under the user's roaming application data folder, written to
// a temporary file that is flushed and moved over the old one with write-through, so that a
// crash never leaves a torn file. The folder and the file are created readable by their user
// only (and by SYSTEM and the administrators, who are Windows' root).
#include <windows.h>
// windows.h first: the headers below need its types.
#include <aclapi.h>
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <system_error>

#include "common/failure.hpp"
#include "platform/settings_file.hpp"
#include "platform/windows/system_error.hpp"
#include "platform/windows/wide_text.hpp"

namespace tovalix::platform {
namespace {

namespace fs = std::filesystem;

constexpr const wchar_t* kTempSuffix = L".tmp";
// How long a writer waits for another writer of the same folder.
constexpr DWORD kWriterWaitMs = 10000;

[[noreturn]] void Fail(const std::string& what, const fs::path& path, DWORD error) {
  throw Failure(what + " " + path.string() + ": " + SystemErrorText(error));
}

class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  BOOL Close() {
    const BOOL closed = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

// The SID of the user this process runs as, in a buffer that lives as long as the program.
PSID CurrentUser() {
  static const std::string sid = [] {
    HANDLE token = nullptr;
    std::string buffer;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
      DWORD size = 0;
      GetTokenInformation(token, TokenUser, nullptr, 0, &size);
      std::string info(size, '\0');
      if (size > 0 && GetTokenInformation(token, TokenUser, info.data(), size, &size)) {
        const PSID user = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
        buffer.assign(static_cast<const char*>(user), GetLengthSid(user));
      }
      CloseHandle(token);
    }
    return buffer;
  }();
  if (sid.empty()) throw Failure("No se pudo saber con qué usuario corre la terminal");
  return const_cast<char*>(sid.data());
}

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
  return IsWellKnownSid(sid, type) != FALSE;
}

// The user, SYSTEM and the administrators: those who may own and write the settings.
bool IsTrustedSid(PSID sid) {
  return EqualSid(sid, CurrentUser()) || IsWellKnown(sid, WinLocalSystemSid) ||
         IsWellKnown(sid, WinBuiltinAdministratorsSid);
}

// The cipher key is the same in every copy of the program, so settings that someone else could
// have written are not to be believed: a "param5" of theirs would send the card data to their
// gateway. The file and its folder must belong to the user running the terminal (or to SYSTEM
// or the administrators), no one else may write to them, and neither may be a link.
std::string Untrusted(const fs::path& path, bool folder) {
  return (folder ? "La carpeta de la configuración " : "La configuración ") + path.string() +
         " no es de confianza: ";
}

void Trust(HANDLE handle, const fs::path& path, bool folder) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) {
    Fail("No se pudo leer la configuración", path, GetLastError());
  }
  if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    throw Failure(Untrusted(path, folder) + "es un enlace simbólico. Ponga en su lugar " +
                  (folder ? "la carpeta misma." : "el archivo mismo."));
  }
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD read = GetSecurityInfo(handle, SE_FILE_OBJECT,
                                     OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                     nullptr, &dacl, nullptr, &descriptor);
  if (read != ERROR_SUCCESS) Fail("No se pudo leer la configuración", path, read);
  std::string refusal;
  if (owner == nullptr || !IsTrustedSid(owner)) {
    refusal =
        "pertenece a otro usuario. Debe pertenecer al usuario de la terminal o a los "
        "administradores.";
  } else if (dacl == nullptr) {
    refusal = "cualquier usuario puede modificarla. Quite ese permiso.";
  } else {
    constexpr ACCESS_MASK kWrites = FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER |
                                    GENERIC_WRITE | GENERIC_ALL | DELETE | FILE_DELETE_CHILD;
    for (DWORD i = 0; i < dacl->AceCount && refusal.empty(); ++i) {
      void* entry = nullptr;
      if (!GetAce(dacl, i, &entry)) continue;
      const auto* header = static_cast<const ACE_HEADER*>(entry);
      if (header->AceType != ACCESS_ALLOWED_ACE_TYPE ||
          (header->AceFlags & INHERIT_ONLY_ACE) != 0) {
        continue;  // denials and entries for children only grant nothing here
      }
      auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
      if ((allowed->Mask & kWrites) != 0 && !IsTrustedSid(&allowed->SidStart)) {
        refusal = "otros usuarios pueden modificarla. Quite ese permiso.";
      }
    }
  }
  LocalFree(descriptor);
  if (!refusal.empty()) throw Failure(Untrusted(path, folder) + refusal);
}

// Opens without following a link; INVALID_HANDLE_VALUE when the path does not exist.
Handle OpenExisting(const fs::path& path, bool folder) {
  HANDLE handle = CreateFileW(
      path.c_str(), GENERIC_READ | READ_CONTROL,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      FILE_FLAG_OPEN_REPARSE_POINT | (folder ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL),
      nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Handle();
    Fail(folder ? "No se pudo abrir la carpeta de la configuración"
                : "No se pudo leer la configuración",
         path, error);
  }
  return Handle(handle);
}

// The whole file, or nullopt when it or its folder does not exist. Both must be trusted.
std::optional<std::string> ReadWhole(const fs::path& path) {
  {
    const Handle folder = OpenExisting(path.parent_path(), true);
    if (!folder.valid()) return std::nullopt;
    Trust(folder.get(), path.parent_path(), true);
  }
  const Handle file = OpenExisting(path, false);
  if (!file.valid()) return std::nullopt;
  Trust(file.get(), path, false);
  std::string content;
  char buffer[4096];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
      Fail("No se pudo leer la configuración", path, GetLastError());
    }
    if (got == 0) break;
    content.append(buffer, got);
  }
  return content;
}

// A security descriptor that lets the user, SYSTEM and the administrators in, and no one else;
// children get the same.
class PrivateAccess {
 public:
  PrivateAccess() {
    wchar_t* user = nullptr;
    if (!ConvertSidToStringSidW(CurrentUser(), &user)) {
      throw Failure("No se pudo proteger la configuración: " + SystemErrorText(GetLastError()));
    }
    const std::wstring sddl =
        L"D:P(A;OICI;FA;;;" + std::wstring(user) + L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    LocalFree(user);
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor_, nullptr)) {
      throw Failure("No se pudo proteger la configuración: " + SystemErrorText(GetLastError()));
    }
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = descriptor_;
    attributes_.bInheritHandle = FALSE;
  }
  ~PrivateAccess() { LocalFree(descriptor_); }
  PrivateAccess(const PrivateAccess&) = delete;
  PrivateAccess& operator=(const PrivateAccess&) = delete;
  SECURITY_ATTRIBUTES* get() { return &attributes_; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

void MakeFolders(const fs::path& folder, PrivateAccess& access) {
  fs::path partial;
  for (const fs::path& part : folder) {
    partial /= part;
    if (partial == partial.root_path() || partial == partial.root_name()) continue;
    if (!CreateDirectoryW(partial.c_str(), access.get()) &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
      Fail("No se pudo crear la carpeta de la configuración", partial, GetLastError());
    }
  }
}

// One writer at a time per folder, across every process of every session.
class FolderWriterLock {
 public:
  explicit FolderWriterLock(const fs::path& folder) {
    std::wstring name = L"Global\\Tovalix.Settings.";
    for (const wchar_t c : folder.wstring()) name += iswalnum(c) ? towupper(c) : L'_';
    mutex_ = CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD waited =
        mutex_ == nullptr ? WAIT_FAILED : WaitForSingleObject(mutex_, kWriterWaitMs);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
      const DWORD error = waited == WAIT_TIMEOUT ? ERROR_TIMEOUT : GetLastError();
      if (mutex_ != nullptr) CloseHandle(mutex_);
      Fail("No se pudo bloquear la carpeta de la configuración", folder, error);
    }
  }
  ~FolderWriterLock() {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }
  FolderWriterLock(const FolderWriterLock&) = delete;
  FolderWriterLock& operator=(const FolderWriterLock&) = delete;

 private:
  HANDLE mutex_ = nullptr;
};

// Temp files that a writer killed half-way left behind; only called under the folder lock.
void RemoveLeftovers(const fs::path& path) {
  const std::wstring prefix = path.filename().wstring() + kTempSuffix;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(path.parent_path(), error)) {
    if (entry.path().filename().wstring().rfind(prefix, 0) == 0) {
      std::error_code ignored;
      fs::remove(entry.path(), ignored);
    }
  }
}

std::string NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

fs::path SettingsFile::DefaultPath() {
  if (std::string named = NonEmptyEnv("TOVALIX_SETTINGS"); !named.empty()) {
    return fs::path(WideText(named));
  }
  wchar_t* folder = nullptr;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &folder))) {
    CoTaskMemFree(folder);
    throw Failure("No se encontró la carpeta del usuario para guardar la configuración");
  }
  fs::path path = fs::path(folder) / L"Quelvan" / L"PinPad.ini";
  CoTaskMemFree(folder);
  return path;
}

SettingsSection SettingsFile::ReadSection() const {
  const auto content = ReadWhole(path_);
  return content ? ParseSettingsSection(*content) : SettingsSection();
}

void SettingsFile::Write(const std::vector<std::pair<std::string, std::string>>& entries) const {
  const fs::path file = path_.is_absolute() ? path_ : fs::absolute(path_);
  const fs::path folder = file.parent_path();
  PrivateAccess access;
  MakeFolders(folder, access);
  const FolderWriterLock lock(folder);
  RemoveLeftovers(file);

  const std::string merged = MergeSettingsSection(ReadWhole(file).value_or(""), entries);

  const fs::path temp = file.wstring() + kTempSuffix + std::to_wstring(GetCurrentProcessId());
  Handle out(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, access.get(), CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out.valid()) Fail("No se pudo escribir la configuración", temp, GetLastError());
  try {
    DWORD written = 0;
    if (merged.size() > MAXDWORD ||
        !WriteFile(out.get(), merged.data(), static_cast<DWORD>(merged.size()), &written,
                   nullptr) ||
        written != merged.size() || !FlushFileBuffers(out.get()) || !out.Close()) {
      Fail("No se pudo escribir la configuración", temp, GetLastError());
    }
    if (!MoveFileExW(temp.c_str(), file.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      Fail("No se pudo reemplazar la configuración", file, GetLastError());
    }
  } catch (...) {
    DeleteFileW(temp.c_str());
    throw;
  }
}

}  // namespace tovalix::platform
