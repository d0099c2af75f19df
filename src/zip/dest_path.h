#pragma once
// Where an entry lands: the output folder for an entry's stored folder, the
// parent-folder guard and the creation of folder paths.
#include <string>
#include <vector>

namespace zip {

// The output folder (ending with a backslash) for an entry whose stored
// folder is `directory`: with recreateDirs the folder is kept below destDir,
// after the first matching prefix of relativePaths (case-insensitive) has
// been cut off.
std::string MapDestinationDir(const std::string& destDir, const std::string& directory, bool recreateDirs,
                              const std::vector<std::string>& relativePaths);

// False when a path component (of the stored folder or the name) would climb
// out of the destination: ".." and what Windows reads as ".." (a name made of
// dots and spaces only, other than ".").
bool IsSafeEntryName(const std::string& directory, const std::string& fileName);

// True when `path` lies inside `folder` after "." and ".." components are
// resolved (both Windows paths; letter case ignored).
bool IsInsideFolder(const std::string& folder, const std::string& path);

// Creates a folder and its missing parents; errors are ignored.
void CreateFolderPath(const std::string& path);

}  // namespace zip
