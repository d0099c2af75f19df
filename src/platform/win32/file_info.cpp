#include "platform/file_info.h"

#include <windows.h>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace platform {
namespace {

bool WriteTime(const std::string& path, FILETIME* out, uint64_t* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(win32::Widen(path).c_str(), GetFileExInfoStandard, &data)) return false;
  *out = data.ftLastWriteTime;
  if (size) *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

}  // namespace

std::optional<uint32_t> FileDosDateTime(const std::string& path) {
  FILETIME utc, local;
  WORD date = 0, time = 0;
  if (!WriteTime(path, &utc, nullptr) || !FileTimeToLocalFileTime(&utc, &local) ||
      !FileTimeToDosDateTime(&local, &date, &time)) {
    return std::nullopt;
  }
  return (static_cast<uint32_t>(date) << 16) | time;
}

bool SetFileDosDateTime(const std::string& path, uint32_t dosDateTime) {
  FILETIME local, utc;
  if (!DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16), static_cast<WORD>(dosDateTime & 0xFFFF), &local) ||
      !LocalFileTimeToFileTime(&local, &utc)) {
    return false;
  }
  win32::Handle h(CreateFileW(win32::Widen(path).c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  return h && SetFileTime(h.get(), nullptr, nullptr, &utc) != 0;
}

std::optional<uint64_t> FileChangeStamp(const std::string& path) {
  FILETIME t;
  uint64_t size = 0;
  if (!WriteTime(path, &t, &size)) return std::nullopt;
  uint64_t stamp = (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  return stamp ^ (size * 0x9E3779B97F4A7C15ull);
}

std::optional<uint32_t> FileAttributeBits(const std::string& path) {
  DWORD a = GetFileAttributesW(win32::Widen(path).c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return a;
}

bool SetFileAttributeBits(const std::string& path, uint32_t attributes) {
  return SetFileAttributesW(win32::Widen(path).c_str(), attributes) != 0;
}

bool MoveFileOver(const std::string& from, const std::string& to) {
  return MoveFileExW(win32::Widen(from).c_str(), win32::Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return MoveFileExW(win32::Widen(from).c_str(), win32::Widen(to).c_str(), 0) != 0;
}

bool RemoveEmptyFolder(const std::string& path) { return RemoveDirectoryW(win32::Widen(path).c_str()) != 0; }

bool DeleteAtRestart(const std::string& path) {
  return MoveFileExW(win32::Widen(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

}  // namespace platform
