#pragma once
// The native build runs the Windows-path logic of the updater against the host
// file system: backslashes become slashes and a drive "X:" becomes the folder
// <drive root>/X. The drive root is the environment variable
// AUTOUPDATE_DRIVE_ROOT (default /tmp/autoupdate-drives); the ANSI code page
// it converts to is AUTOUPDATE_ANSI_CODESET (an iconv name such as "GBK";
// default the locale's codeset). Tests and benchmarks set both.
#include <string>

namespace platform::posix {

std::string HostPath(const std::string& windowsPath);

}  // namespace platform::posix
