#pragma once
// Files and folders. Paths are Windows paths in UTF-8 ("C:\temp\a.zip"); the
// native build maps them onto the host file system (see posix/host_path.h).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

bool FileExists(const std::string& path);       // a file, not a folder
bool DirectoryExists(const std::string& path);  // a folder
// Creates one folder; false when it could not be created (or already exists).
bool CreateDir(const std::string& path);
// Creates a folder with every missing parent, from the top down. Silent: a
// folder that cannot be created stays missing. Nothing for a drive root, a
// path shorter than 3 characters or an existing folder.
void CreateFolderPath(const std::string& path);
bool RemoveFile(const std::string& path);
std::optional<std::string> ReadWholeFile(const std::string& path);
// Creates or truncates the file and writes all bytes; on failure raises
// OsError "Cannot create file "<path>". <system text>" (or a write error).
void WriteWholeFile(const std::string& path, std::string_view bytes);
// Writes the bytes beside the file ("<path>.~save") and moves them over it, so
// that a run ended half-way leaves the file as it was, never cut short. On
// failure raises OsError with the system's text; the file is as it was.
void ReplaceWholeFile(const std::string& path, std::string_view bytes);

// Full path of the running program file, and the system's own folders
// (without a trailing backslash).
std::string ProgramPath();
std::string SystemDirectory();
std::string WindowsDirectory();

}  // namespace platform
