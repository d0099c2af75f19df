#include "platform/file_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "platform/posix/host_path.h"

namespace platform {
namespace {

std::optional<struct stat> Stat(const std::string& path) {
  struct stat st {};
  if (::stat(posix::HostPath(path).c_str(), &st) != 0) return std::nullopt;
  return st;
}

}  // namespace

std::optional<uint32_t> FileDosDateTime(const std::string& path) {
  auto st = Stat(path);
  if (!st) return std::nullopt;
  time_t t = st->st_mtim.tv_sec;
  struct tm lt {};
  if (!::localtime_r(&t, &lt)) return std::nullopt;
  int year = lt.tm_year + 1900;
  if (year < 1980) return 0x00210000u;  // 1980-01-01 00:00:00, the earliest a DOS time holds
  if (year > 2107) year = 2107;
  uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | ((lt.tm_mon + 1) << 5) | lt.tm_mday);
  uint32_t time = static_cast<uint32_t>((lt.tm_hour << 11) | (lt.tm_min << 5) | (lt.tm_sec / 2));
  return (date << 16) | time;
}

bool SetFileDosDateTime(const std::string& path, uint32_t dosDateTime) {
  struct tm lt {};
  lt.tm_year = static_cast<int>((dosDateTime >> 25) & 0x7F) + 80;
  lt.tm_mon = static_cast<int>((dosDateTime >> 21) & 0x0F) - 1;
  lt.tm_mday = static_cast<int>((dosDateTime >> 16) & 0x1F);
  lt.tm_hour = static_cast<int>((dosDateTime >> 11) & 0x1F);
  lt.tm_min = static_cast<int>((dosDateTime >> 5) & 0x3F);
  lt.tm_sec = static_cast<int>((dosDateTime & 0x1F) * 2);
  lt.tm_isdst = -1;
  time_t t = ::mktime(&lt);
  if (t == static_cast<time_t>(-1)) return false;
  struct timespec times[2] = {{t, 0}, {t, 0}};
  return ::utimensat(AT_FDCWD, posix::HostPath(path).c_str(), times, 0) == 0;
}

std::optional<uint64_t> FileChangeStamp(const std::string& path) {
  auto st = Stat(path);
  if (!st) return std::nullopt;
  uint64_t ns = static_cast<uint64_t>(st->st_mtim.tv_sec) * 1000000000ull + static_cast<uint64_t>(st->st_mtim.tv_nsec);
  return ns ^ (static_cast<uint64_t>(st->st_size) * 0x9E3779B97F4A7C15ull) ^ static_cast<uint64_t>(st->st_ino);
}

std::optional<uint32_t> FileAttributeBits(const std::string& path) {
  auto st = Stat(path);
  if (!st) return std::nullopt;
  uint32_t a = S_ISDIR(st->st_mode) ? FileAttrDirectory : FileAttrArchive;
  if (!(st->st_mode & S_IWUSR)) a |= FileAttrReadOnly;
  return a;
}

bool SetFileAttributeBits(const std::string& path, uint32_t attributes) {
  auto st = Stat(path);
  if (!st) return false;
  mode_t mode = st->st_mode & 07777;
  if (attributes & FileAttrReadOnly) {
    mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
  } else {
    mode |= S_IWUSR;
  }
  return ::chmod(posix::HostPath(path).c_str(), mode) == 0;
}

bool MoveFileOver(const std::string& from, const std::string& to) {
  return std::rename(posix::HostPath(from).c_str(), posix::HostPath(to).c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  // A hard link fails when `to` exists, which a rename would overwrite.
  const std::string source = posix::HostPath(from), target = posix::HostPath(to);
  return ::link(source.c_str(), target.c_str()) == 0 && ::unlink(source.c_str()) == 0;
}

bool RemoveEmptyFolder(const std::string& path) { return ::rmdir(posix::HostPath(path).c_str()) == 0; }

bool DeleteAtRestart(const std::string&) { return false; }  // no such service here

}  // namespace platform
