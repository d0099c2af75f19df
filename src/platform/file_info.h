#pragma once
// File times, attributes and replacement by path, in the terms zip archives
// use: MS-DOS date/time in local time (date in the high 16 bits, time in the
// low 16 bits, two-second resolution) and Windows attribute bits.
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

enum : uint32_t { FileAttrReadOnly = 0x01, FileAttrHidden = 0x02, FileAttrSystem = 0x04,
                  FileAttrDirectory = 0x10, FileAttrArchive = 0x20 };

// Last-write time of a file as a local MS-DOS date/time (seconds rounded
// down to even); nullopt when the file cannot be read.
std::optional<uint32_t> FileDosDateTime(const std::string& path);
// Sets the last-write time from a local MS-DOS date/time.
bool SetFileDosDateTime(const std::string& path, uint32_t dosDateTime);
// A stamp that changes whenever the file is rewritten (full-resolution
// last-write time and size); nullopt when the file cannot be read.
std::optional<uint64_t> FileChangeStamp(const std::string& path);

// Windows attribute bits; natively the read-only bit means "no write
// permission" and the other bits are not kept.
std::optional<uint32_t> FileAttributeBits(const std::string& path);
bool SetFileAttributeBits(const std::string& path, uint32_t attributes);

// Moves `from` over `to`, replacing an existing file in one step
// (MoveFileExW with MOVEFILE_REPLACE_EXISTING / rename). False when the
// system refused, for example because a program holds the target open.
bool MoveFileOver(const std::string& from, const std::string& to);
// Renames `from` to `to`, which must not exist yet. A program or DLL that a
// running process has loaded can usually be renamed though not replaced.
// False when the system refused (a file opened without delete sharing).
bool RenameFile(const std::string& from, const std::string& to);
// Removes a folder that is empty; false otherwise.
bool RemoveEmptyFolder(const std::string& path);
// Has the system delete the file at the next restart (needs administrator
// rights); false when that cannot be arranged.
bool DeleteAtRestart(const std::string& path);

}  // namespace platform
