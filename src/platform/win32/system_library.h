#pragma once
// DLLs of the system folder only. The updater runs as administrator and may
// be started from a browser's download folder: a DLL found by the default
// search (the program's folder, the current folder, PATH) could be anybody's.
#include <windows.h>

#include <string>

#include "platform/os_error.h"

namespace platform::win32 {

// One DLL loaded by its full path in the system folder, freed with the owner.
class SystemLibrary {
 public:
  explicit SystemLibrary(const wchar_t* name);  // OsError when it cannot load
  ~SystemLibrary();
  SystemLibrary(const SystemLibrary&) = delete;
  SystemLibrary& operator=(const SystemLibrary&) = delete;

  // An exported function; OsError when the DLL has none of that name.
  template <typename F>
  F Function(const char* name) const {
    return reinterpret_cast<F>(reinterpret_cast<void*>(Address(name)));
  }

 private:
  FARPROC Address(const char* name) const;
  HMODULE module_;
  std::string name_;
};

}  // namespace platform::win32
