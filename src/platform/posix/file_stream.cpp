#include "platform/file_stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/host_path.h"

namespace platform {

// Owns the descriptor; closing it also drops the advisory lock.
struct FileStream::Impl {
  int fd = -1;
  ~Impl() {
    if (fd >= 0) ::close(fd);
  }
};

FileStream::FileStream(const std::string& path, FileMode mode) : impl_(std::make_unique<Impl>()), path_(path) {
  const std::string host = posix::HostPath(path);
  if (mode == FileMode::ReadDenyWrite) {
    impl_->fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (impl_->fd < 0) throw FileOpenError::For(path);
    struct stat st {};
    if (::fstat(impl_->fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      throw FileOpenError::For(path);
    }
    // The nearest thing to a share mode here: a shared advisory lock that
    // cooperating writers (taking an exclusive lock) respect.
    if (::flock(impl_->fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
      throw FileOpenError::For(path);
    }
  } else if (mode == FileMode::OpenExclusive) {
    impl_->fd = ::open(host.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    // The nearest thing to sharing nothing: an exclusive advisory lock.
    if (impl_->fd < 0 || ::flock(impl_->fd, LOCK_EX | LOCK_NB) != 0) throw FileOpenError::For(path);
  } else {
    const int disposition = mode == FileMode::CreateNew ? O_EXCL : O_TRUNC;
    impl_->fd = ::open(host.c_str(), O_RDWR | O_CREAT | disposition | O_CLOEXEC, 0666);
    if (impl_->fd < 0) throw FileCreateError::For(path);
    if (mode != FileMode::CreateReadable && ::flock(impl_->fd, LOCK_EX | LOCK_NB) != 0) {
      throw FileCreateError::For(path);
    }
  }
}

FileStream::~FileStream() = default;

size_t FileStream::Read(void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(impl_->fd, static_cast<char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

size_t FileStream::Write(const void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(impl_->fd, static_cast<const char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

int64_t FileStream::Seek(int64_t offset, int origin) {
  int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(impl_->fd, static_cast<off_t>(offset), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

int64_t FileStream::Size() {
  struct stat st {};
  if (::fstat(impl_->fd, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool FileStream::SetSize(int64_t size) { return size >= 0 && ::ftruncate(impl_->fd, static_cast<off_t>(size)) == 0; }

bool FileStream::FlushToDisk() { return ::fsync(impl_->fd) == 0; }

void FileStream::RenameTo(const std::string& newPath) {
  if (::rename(posix::HostPath(path_).c_str(), posix::HostPath(newPath).c_str()) != 0) {
    const std::string text = LastErrorText();
    throw OsError("无法把文件“" + path_ + "”改名为“" + newPath + "”：" + text, text);
  }
  path_ = newPath;
}

}  // namespace platform
