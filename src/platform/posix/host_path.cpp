#include "platform/posix/host_path.h"

#include <cctype>
#include <cstdlib>
#include <mutex>

namespace platform::posix {
namespace {
std::mutex g_mutex;
std::string g_driveRoot;
bool g_driveRootSet = false;
}  // namespace

void SetDriveRoot(const std::string& hostFolder) {
  std::lock_guard lock(g_mutex);
  g_driveRoot = hostFolder;
  g_driveRootSet = !hostFolder.empty();
}

std::string HostPath(const std::string& windowsPath) {
  std::string root;
  {
    std::lock_guard lock(g_mutex);
    if (g_driveRootSet) {
      root = g_driveRoot;
    } else if (const char* env = std::getenv("AUTOUPDATE_DRIVE_ROOT")) {
      root = env;
    }
  }
  std::string path = windowsPath;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    std::string drive(1, static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
    std::string rest = path.substr(2);
    if (root.empty()) root = "/tmp/autoupdate-drives";
    return root + "/" + drive + (rest.empty() || rest[0] == '/' ? rest : "/" + rest);
  }
  return path;
}

}  // namespace platform::posix
