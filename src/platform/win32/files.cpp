#include "platform/files.h"

#include <windows.h>

#include <vector>

#include "platform/os_error.h"
#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace platform {
using win32::Widen;

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesW(Widen(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  DWORD a = GetFileAttributesW(Widen(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDir(const std::string& path) { return CreateDirectoryW(Widen(path).c_str(), nullptr) != 0; }

bool RemoveFile(const std::string& path) { return DeleteFileW(Widen(path).c_str()) != 0; }

std::optional<std::string> ReadWholeFile(const std::string& path) {
  win32::Handle h(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) return std::nullopt;
  std::string data;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(h.get(), buf, sizeof buf, &got, nullptr) && got > 0) data.append(buf, got);
  return data;
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  win32::Handle h(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
  if (!h) {
    const std::string text = LastErrorText();
    throw OsError("Cannot create file \"" + path + "\". " + text, text);
  }
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD wrote = 0;
    if (!WriteFile(h.get(), bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) {
      const std::string text = LastErrorText();
      throw OsError("Cannot write file \"" + path + "\". " + text, text);
    }
    done += wrote;
  }
}

std::string ProgramPath() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n < buf.size()) return win32::Narrow(std::wstring_view(buf.data(), n));
    buf.resize(buf.size() * 2);
  }
}

std::string SystemDirectory() {
  wchar_t buf[MAX_PATH + 1];
  UINT n = GetSystemDirectoryW(buf, MAX_PATH);
  return win32::Narrow(std::wstring_view(buf, n));
}

std::string WindowsDirectory() {
  wchar_t buf[MAX_PATH + 1];
  UINT n = GetWindowsDirectoryW(buf, MAX_PATH);
  return win32::Narrow(std::wstring_view(buf, n));
}

}  // namespace platform
