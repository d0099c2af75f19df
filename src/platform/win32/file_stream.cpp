#include "platform/file_stream.h"

#include <windows.h>

#include "platform/win32/handle.h"
#include "platform/win32/rename_by_handle.h"
#include "platform/win32/wide.h"

namespace platform {

struct FileStream::Impl {
  win32::Handle h;
};

FileStream::FileStream(const std::string& path, FileMode mode) : impl_(std::make_unique<Impl>()), path_(path) {
  const std::wstring wide = win32::Widen(path);
  if (mode == FileMode::ReadDenyWrite) {
    impl_->h.reset(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!impl_->h) throw FileOpenError::For(path);
  } else if (mode == FileMode::OpenExclusive) {
    impl_->h.reset(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!impl_->h) throw FileOpenError::For(path);
  } else {
    const DWORD disposition = mode == FileMode::CreateNew ? CREATE_NEW : CREATE_ALWAYS;
    const DWORD share = mode == FileMode::CreateReadable ? FILE_SHARE_READ : 0;
    // Delete access lets the file be renamed through the handle; with others
    // shut out anyway it costs nothing. Readers of CreateReadable files would
    // have to share deleting, so those go without.
    const DWORD rename = mode == FileMode::CreateReadable ? 0 : DELETE;
    impl_->h.reset(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE | rename, share, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!impl_->h) throw FileCreateError::For(path);
  }
}

FileStream::~FileStream() = default;

size_t FileStream::Read(void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(impl_->h.get(), static_cast<char*>(buffer) + done, chunk, &got, nullptr) || got == 0) break;
    done += got;
  }
  return done;
}

size_t FileStream::Write(const void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
    DWORD wrote = 0;
    if (!WriteFile(impl_->h.get(), static_cast<const char*>(buffer) + done, chunk, &wrote, nullptr) || wrote == 0) {
      break;
    }
    done += wrote;
  }
  return done;
}

int64_t FileStream::Seek(int64_t offset, int origin) {
  LARGE_INTEGER to, now;
  to.QuadPart = offset;
  DWORD method = origin == 0 ? FILE_BEGIN : origin == 1 ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(impl_->h.get(), to, &now, method)) return -1;
  return now.QuadPart;
}

int64_t FileStream::Size() {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(impl_->h.get(), &size)) return -1;
  return size.QuadPart;
}

bool FileStream::SetSize(int64_t size) {
  int64_t pos = Seek(0, 1);
  if (pos < 0 || Seek(size, 0) < 0) return false;
  bool ok = SetEndOfFile(impl_->h.get()) != 0;
  Seek(pos, 0);
  return ok;
}

bool FileStream::FlushToDisk() { return FlushFileBuffers(impl_->h.get()) != 0; }

void FileStream::RenameTo(const std::string& newPath) {
  if (!win32::RenameByHandle(impl_->h.get(), newPath, true)) {
    const std::string text = LastErrorText();
    throw OsError("无法把文件“" + path_ + "”改名为“" + newPath + "”：" + text, text);
  }
  path_ = newPath;
}

}  // namespace platform
