#pragma once
// Renames an open file or folder through its handle (the object itself, even
// a link, never what it points to). The handle needs DELETE access.
#include <windows.h>

#include <string>

namespace platform::win32 {

// False, with the system's last error set, when the system refused; with
// replace false an existing target gives ERROR_ALREADY_EXISTS.
bool RenameByHandle(HANDLE handle, const std::string& newPath, bool replace);

}  // namespace platform::win32
