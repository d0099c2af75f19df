#include "platform/posix/host_path.h"

#include <cctype>
#include <cstdlib>

namespace platform::posix {

std::string HostPath(const std::string& windowsPath) {
  const char* env = std::getenv("AUTOUPDATE_DRIVE_ROOT");
  std::string root = env ? env : "";
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
