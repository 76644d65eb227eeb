// The Windows side of the suites' helpers: access lists, sharing
// modes and reparse-point links.
#include <windows.h>
// windows.h first: the headers below need its types.
#include <aclapi.h>
#include <sddl.h>

#include <cstdlib>

#include "support/test_environment.hpp"

namespace tovalix::testing {

namespace fs = std::filesystem;

namespace {

// The string form of the SID this process runs as, "" when it cannot be read.
std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return L"";
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::string info(size, '\0');
  std::wstring text;
  wchar_t* sid = nullptr;
  if (size > 0 && GetTokenInformation(token, TokenUser, info.data(), size, &size) &&
      ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid, &sid)) {
    text = sid;
    LocalFree(sid);
  }
  CloseHandle(token);
  return text;
}

// Replaces the access list of `path` with the one in `sddl`.
bool SetAccess(const fs::path& path, const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return false;
  }
  const bool set = SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor) != FALSE;
  LocalFree(descriptor);
  return set;
}

}  // namespace

bool MakeSymlink(const fs::path& target, const fs::path& link) {
  const DWORD flags = (fs::is_directory(target) ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) |
                      SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
  if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), flags)) return false;
  // Wine makes links that its own file calls do not see as reparse points: none at all.
  const DWORD attributes = GetFileAttributesW(link.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return true;
  }
  std::error_code ignored;
  fs::remove(link, ignored);
  return false;
}

bool IsPrivateToUser(const fs::path& path) {
  const std::wstring user = CurrentUserSid();
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  if (user.empty() ||
      GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  // What was inherited from the folders above is in the list too.
  bool only_trusted = dacl != nullptr;
  for (DWORD i = 0; only_trusted && i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(dacl, i, &entry)) {
      only_trusted = false;
      break;
    }
    if (static_cast<const ACE_HEADER*>(entry)->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart;
    wchar_t* text = nullptr;
    only_trusted = ConvertSidToStringSidW(sid, &text) != FALSE &&
                   (user == text || IsWellKnownSid(sid, WinLocalSystemSid) ||
                    IsWellKnownSid(sid, WinBuiltinAdministratorsSid));
    LocalFree(text);
  }
  LocalFree(descriptor);
  return only_trusted;
}

FailingSettingsWrite::FailingSettingsWrite(const fs::path& file) {
  const HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  undo_ = [held] {
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  };
}

std::vector<SettingsSpoiler> OwnershipSpoilers(const fs::path& file) {
  const fs::path own = file.parent_path();
  // The user's own access plus everyone's right to write.
  const std::wstring open_to_all = L"D:P(A;;FA;;;" + CurrentUserSid() + L")(A;;FA;;;WD)";
  const std::string fix = "otros usuarios pueden modificarla. Quite ese permiso.";
  return {
      {[=] { return SetAccess(file, open_to_all); }, file, fix},
      {[=] { return SetAccess(own, open_to_all); }, own, fix},
  };
}

std::vector<DefaultSettingsCase> DefaultSettingsCases() {
  // The roaming application data folder, as the environment of every logon names it.
  const char* appdata = std::getenv("APPDATA");
  if (appdata == nullptr) return {};
  return {{{}, fs::path(appdata) / "Quelvan" / "PinPad.ini"}};
}

}  // namespace tovalix::testing
