#pragma once
// Where an entry lands: the output folder for an entry's stored folder and
// the entry-name guard.
#include <string>
#include <vector>

namespace zip {

// The output folder (ending with a backslash) for an entry whose stored
// folder is `directory`: with recreateDirs the folder is kept below destDir,
// after the first matching prefix of relativePaths (case-insensitive) has
// been cut off.
std::string MapDestinationDir(const std::string& destDir, const std::string& directory, bool recreateDirs,
                              const std::vector<std::string>& relativePaths);

// False when a component of the stored folder or name is no plain file name
// (platform::IsPlainName): ".." and what Windows reads as "..", a control
// character (a NUL would cut the path), a colon other than a leading drive
// (an alternate data stream), a device name, or a character Windows refuses.
bool IsSafeEntryName(const std::string& directory, const std::string& fileName);

}  // namespace zip
