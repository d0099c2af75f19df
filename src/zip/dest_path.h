#pragma once
// Where an entry lands: the output folder for an entry's stored folder and
// the entry-name guard.
#include <string>

namespace zip {

// The output folder (ending with a backslash) for an entry whose stored
// folder is `directory`: the folder is kept below destDir, less a leading
// `root` (letter case ignored), so that an archive made with the full path
// of the folder lands as if made relative to it.
std::string MapDestinationDir(const std::string& destDir, const std::string& directory, const std::string& root);

// False when a component of the stored folder or name is no plain file name
// (platform::IsPlainName): ".." and what Windows reads as "..", a control
// character (a NUL would cut the path), a colon other than a leading drive
// (an alternate data stream), a device name, or a character Windows refuses.
bool IsSafeEntryName(const std::string& directory, const std::string& fileName);

}  // namespace zip
