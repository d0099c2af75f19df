#pragma once
// The native build runs the Windows-path logic of the updater against the host
// file system: backslashes become slashes and a drive "X:" becomes the folder
// <drive root>/X. The drive root comes from AUTOUPDATE_DRIVE_ROOT, or from
// SetDriveRoot (tests give each case its own sandbox).
#include <string>

namespace platform::posix {

std::string HostPath(const std::string& windowsPath);
void SetDriveRoot(const std::string& hostFolder);  // empty: back to the default
// The ANSI code page the native build converts to ("UTF-8", "GBK", ...); empty
// resets it to the locale's codeset.
void SetAnsiEncoding(const std::string& iconvName);

}  // namespace platform::posix
