#include "platform/private_folder.h"

#include <windows.h>

#include <aclapi.h>
#include <shlobj.h>

#include <random>
#include <vector>

#include "platform/os_error.h"
#include "platform/private_folder_steps.h"
#include "platform/win32/handle.h"
#include "platform/win32/rename_by_handle.h"
#include "platform/win32/security_descriptor.h"
#include "platform/win32/wide.h"

namespace platform {
using win32::Widen;

namespace {

// Owner Administrators; SYSTEM and Administrators full control, inherited by
// everything below; nothing for anyone else, nothing inherited from above.
constexpr wchar_t kProtectedAccess[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// Tries per level: another program may create the name between our steps.
constexpr int kAttemptsPerLevel = 4;
constexpr int kMaxAsideNames = 1000;

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  const std::string text = LastErrorText();
  throw OsError(what + "“" + path + "”：" + text, text);
}

// The running program's own account, accepted as an owner only while it is
// an administrator: a folder an elevated administrator created is owned by
// that account when its token names the account as default owner, and Wine
// reports the process's account as the owner of every file and folder.
bool IsOwnAdministratorAccount(PSID owner) {
  BYTE adminSid[SECURITY_MAX_SID_SIZE];
  DWORD adminSize = sizeof adminSid;
  BOOL isAdmin = FALSE;
  if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, adminSid, &adminSize) ||
      !CheckTokenMembership(nullptr, adminSid, &isAdmin) || !isAdmin) {
    return false;
  }
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  win32::Handle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<BYTE> user(size);
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size)) return false;
  return EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid) != 0;
}

bool HasTrustedOwner(HANDLE folder) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool trusted = owner && (IsWellKnownSid(owner, WinLocalSystemSid) ||
                                 IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || IsOwnAdministratorAccount(owner));
  LocalFree(descriptor);
  return trusted;
}

// The attributes of the name as its folder lists it. Wine reports a link made
// on the host as a reparse point only here, not through an opened handle.
DWORD ListedAttributes(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(path.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return INVALID_FILE_ATTRIBUTES;
  FindClose(find);
  return data.dwFileAttributes;
}

bool IsFolder(HANDLE object) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(object, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// OpenedThrough: the name is listed as a link but the handle holds what it
// points to (Wine does so with links made on the host): moving it would move
// the target, so it is left alone.
enum class State { Missing, Trusted, Untrusted, OpenedThrough };

struct Level {
  State state = State::Missing;
  win32::Handle handle;  // open on the object itself, never on what a link points to
};

// Opens the name itself (a link is not followed) so that it cannot be
// renamed or removed by others while it is examined and dealt with.
Level Examine(const std::string& path) {
  const std::wstring wide = Widen(path);
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  Level level;
  level.handle.reset(CreateFileW(wide.c_str(), DELETE | READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES,
                                 share, nullptr, OPEN_EXISTING, flags, nullptr));
  if (!level.handle) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return level;
    if (error != ERROR_ACCESS_DENIED) Fail("无法检查文件夹", path);
    // Not even its access list is ours to read: not ours. Enough to move it.
    level.handle.reset(
        CreateFileW(wide.c_str(), DELETE | FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING, flags, nullptr));
    if (!level.handle) Fail("无法检查文件夹", path);
    level.state = State::Untrusted;
    return level;
  }
  BY_HANDLE_FILE_INFORMATION info;
  const DWORD listed = ListedAttributes(wide);
  const bool handleIsLink = GetFileInformationByHandle(level.handle.get(), &info) &&
                            (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  if (listed != INVALID_FILE_ATTRIBUTES && (listed & FILE_ATTRIBUTE_REPARSE_POINT) && !handleIsLink) {
    level.state = State::OpenedThrough;
  } else {
    const bool trusted = IsFolder(level.handle.get()) && HasTrustedOwner(level.handle.get());
    level.state = trusted ? State::Trusted : State::Untrusted;
  }
  return level;
}

// Moves the object itself to a free "<name>.~untrusted<N>" beside it.
void SetAside(HANDLE object, const std::string& path) {
  for (int n = 1; n <= kMaxAsideNames; ++n) {
    if (win32::RenameByHandle(object, path + ".~untrusted" + std::to_string(n), false)) return;
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
  }
  Fail("无法移开不可信的文件夹", path);
}

void Protect(HANDLE folder, const std::string& path) {
  win32::SecurityDescriptor access(kProtectedAccess);
  const DWORD rc = SetSecurityInfo(
      folder, SE_FILE_OBJECT,
      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, access.owner(),
      nullptr, access.dacl(), nullptr);
  if (rc != ERROR_SUCCESS) {
    SetLastError(rc);
    Fail("无法设置文件夹的访问权限", path);
  }
}

}  // namespace

namespace private_folder {

bool CreateProtected(const std::string& path) {
  win32::SecurityDescriptor access(kProtectedAccess);
  if (CreateDirectoryW(Widen(path).c_str(), access.attributes())) return true;
  if (GetLastError() == ERROR_ALREADY_EXISTS) return false;
  Fail("无法建立受保护的文件夹", path);
}

void MakeLevelPrivate(const std::string& path) {
  for (int attempt = 0; attempt < kAttemptsPerLevel; ++attempt) {
    Level level = Examine(path);
    if (level.state == State::Trusted) return Protect(level.handle.get(), path);
    if (level.state == State::OpenedThrough) {
      SetLastError(ERROR_CANT_ACCESS_FILE);
      Fail("无法移开不可信的文件夹", path);
    }
    if (level.state == State::Untrusted) SetAside(level.handle.get(), path);
    level.handle.reset();
    if (CreateProtected(path)) return;
  }
  FailNameTaken(path);
}

void FailNameTaken(const std::string& path) {
  SetLastError(ERROR_ALREADY_EXISTS);
  Fail("无法建立受保护的文件夹", path);
}

std::string UniqueSuffix() {
  static std::random_device device;
  const unsigned long long value = (static_cast<unsigned long long>(device()) << 32) ^ device() ^ GetTickCount64();
  char text[17];
  snprintf(text, sizeof text, "%016llx", value);
  return text;
}

}  // namespace private_folder

namespace {

bool RemoveEntry(const std::wstring& path, DWORD attributes) {
  // A link goes as itself: removing it never touches what it points to.
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str());
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(path.c_str()) != 0;
  }
  bool all = true;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      all = RemoveEntry(path + L"\\" + name, data.dwFileAttributes) && all;
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  return RemoveDirectoryW(path.c_str()) != 0 && all;
}

}  // namespace

std::string ProgramDataDirectory() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const HRESULT hr = SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer);
  if (FAILED(hr)) {
    const std::string text = win32::ErrorText(static_cast<unsigned long>(hr));
    throw OsError("无法取得系统的程序数据文件夹：" + text, text);
  }
  return private_folder::WithoutTrailingBackslash(win32::Narrow(buffer));
}

bool RemoveFolderTree(const std::string& path) {
  const std::wstring wide = Widen(private_folder::WithoutTrailingBackslash(path));
  const DWORD attributes = ListedAttributes(wide);
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES;
  return RemoveEntry(wide, attributes);
}

}  // namespace platform
