#include "platform/private_folder.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <vector>

#include "platform/os_error.h"
#include "platform/posix/host_path.h"
#include "platform/private_folder_steps.h"

// The native stand-in: a private folder is mode 0700 and owned by the
// effective user, who plays the administrator.
namespace platform {

namespace {

constexpr int kAttemptsPerLevel = 4;
constexpr int kMaxAsideNames = 1000;

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  const std::string text = LastErrorText();
  throw OsError(what + "“" + path + "”：" + text, text);
}

enum class State { Missing, Trusted, Untrusted };

// lstat: a link is looked at as itself.
State Examine(const std::string& path) {
  struct stat st {};
  if (::lstat(posix::HostPath(path).c_str(), &st) != 0) {
    if (errno == ENOENT) return State::Missing;
    Fail("无法检查文件夹", path);
  }
  return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() ? State::Trusted : State::Untrusted;
}

// Moves the entry itself (rename never follows a link) to a free
// "<name>.~untrusted<N>" beside it.
void SetAside(const std::string& path) {
  const std::string host = posix::HostPath(path);
  for (int n = 1; n <= kMaxAsideNames; ++n) {
    const std::string aside = host + ".~untrusted" + std::to_string(n);
    if (::renameat2(AT_FDCWD, host.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) return;
    if (errno != EEXIST) break;
  }
  Fail("无法移开不可信的文件夹", path);
}

void Protect(const std::string& path) {
  if (::chmod(posix::HostPath(path).c_str(), 0700) != 0) Fail("无法设置文件夹的访问权限", path);
}

}  // namespace

namespace private_folder {

bool CreateProtected(const std::string& path) {
  const std::string host = posix::HostPath(path);
  if (::mkdir(host.c_str(), 0700) != 0) {
    if (errno == EEXIST) return false;
    Fail("无法建立受保护的文件夹", path);
  }
  // mkdir's mode passes through the umask; 0700 only ever loses bits there.
  return true;
}

void MakeLevelPrivate(const std::string& path) {
  for (int attempt = 0; attempt < kAttemptsPerLevel; ++attempt) {
    const State state = Examine(path);
    if (state == State::Trusted) return Protect(path);
    if (state == State::Untrusted) SetAside(path);
    if (CreateProtected(path)) return;
  }
  FailNameTaken(path);
}

void FailNameTaken(const std::string& path) {
  errno = EEXIST;
  Fail("无法建立受保护的文件夹", path);
}

std::string UniqueSuffix() {
  static std::random_device device;
  const unsigned long long value = (static_cast<unsigned long long>(device()) << 32) ^ device();
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", value);
  return text;
}

}  // namespace private_folder

namespace {

thread_local bool g_removedAll = true;

int RemoveEntry(const char* path, const struct stat*, int kind, struct FTW*) {
  const int rc = kind == FTW_DP ? ::rmdir(path) : ::unlink(path);
  if (rc != 0) g_removedAll = false;
  return 0;
}

}  // namespace

std::string ProgramDataDirectory() { return "C:\\ProgramData"; }

// FTW_PHYS: links are reported (and removed) as themselves, never entered;
// FTW_DEPTH: a folder's contents go before the folder.
bool RemoveFolderTree(const std::string& path) {
  const std::string host = posix::HostPath(private_folder::WithoutTrailingBackslash(path));
  struct stat st {};
  if (::lstat(host.c_str(), &st) != 0) return errno == ENOENT;
  g_removedAll = true;
  if (::nftw(host.c_str(), RemoveEntry, 32, FTW_PHYS | FTW_DEPTH) != 0) return false;
  return g_removedAll;
}

}  // namespace platform
