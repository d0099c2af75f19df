#include "platform/win32/system_library.h"

#include "platform/win32/wide.h"

namespace platform::win32 {
namespace {

std::wstring SystemFolder() {
  wchar_t buf[MAX_PATH + 1];
  const UINT n = GetSystemDirectoryW(buf, MAX_PATH);
  return std::wstring(buf, n < MAX_PATH ? n : 0);
}

}  // namespace

SystemLibrary::SystemLibrary(const wchar_t* name) : name_(Narrow(name)) {
  // A full path loads that very file; its own imports are then looked for
  // in its folder first.
  const std::wstring path = SystemFolder() + L"\\" + name;
  module_ = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module_) {
    const DWORD code = GetLastError();
    const std::string text = ErrorText(code);
    OsError error("无法加载系统组件 " + Narrow(path) + "：" + text, text);
    SetLastError(code);  // for callers that report the code
    throw error;
  }
}

SystemLibrary::~SystemLibrary() { FreeLibrary(module_); }

FARPROC SystemLibrary::Address(const char* name) const {
  FARPROC f = GetProcAddress(module_, name);
  if (!f) {
    const std::string text = LastErrorText();
    throw OsError("系统组件 " + name_ + " 中没有函数 " + name + "：" + text, text);
  }
  return f;
}

}  // namespace platform::win32
