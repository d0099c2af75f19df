#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/os_error.h"
#include "platform/posix/host_path.h"

namespace platform {

std::string LastErrorText() { return std::strerror(errno); }

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(posix::HostPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return ::stat(posix::HostPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& path) { return ::mkdir(posix::HostPath(path).c_str(), 0777) == 0; }

bool RemoveFile(const std::string& path) { return ::unlink(posix::HostPath(path).c_str()) == 0; }

std::optional<std::string> ReadWholeFile(const std::string& path) {
  if (!FileExists(path)) return std::nullopt;
  std::ifstream in(posix::HostPath(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  int fd = ::open(posix::HostPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) {
    const std::string text = LastErrorText();
    throw OsError("Cannot create file \"" + path + "\". " + text, text);
  }
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      std::string text = LastErrorText();
      ::close(fd);
      throw OsError("Cannot write file \"" + path + "\". " + text, text);
    }
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

std::string ProgramPath() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  // Reported as a Windows-style path, like everything the updater handles.
  std::string path = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string SystemDirectory() { return "C:\\windows\\system32"; }
std::string WindowsDirectory() { return "C:\\windows"; }

}  // namespace platform
