#include "platform/win32/rename_by_handle.h"

#include <cstring>
#include <vector>

#include "platform/win32/wide.h"

namespace platform::win32 {
namespace {

// The rename record goes to the kernel as it is: it takes an NT path
// ("\??\C:\x", "\??\UNC\server\share\x").
std::wstring NtPath(const std::string& path) {
  std::wstring wide = Widen(path);
  if (wide.rfind(L"\\\\?\\", 0) == 0) return L"\\??\\" + wide.substr(4);
  if (wide.rfind(L"\\??\\", 0) == 0) return wide;
  if (wide.rfind(L"\\\\", 0) == 0) return L"\\??\\UNC\\" + wide.substr(2);
  return L"\\??\\" + wide;
}

}  // namespace

bool RenameByHandle(HANDLE handle, const std::string& newPath, bool replace) {
  const std::wstring target = NtPath(newPath);
  const size_t nameBytes = target.size() * sizeof(wchar_t);
  std::vector<unsigned char> record(sizeof(FILE_RENAME_INFO) + nameBytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(record.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(info->FileName, target.data(), nameBytes);
  return SetFileInformationByHandle(handle, FileRenameInfo, info, static_cast<DWORD>(record.size())) != 0;
}

}  // namespace platform::win32
