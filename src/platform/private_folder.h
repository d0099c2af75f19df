#pragma once
// Folders only SYSTEM and Administrators can write, for what the updater
// stages while it runs as administrator. Nothing below a protected folder is
// followed through a link: a level that is not what it should be is set aside
// and made anew.
#include <string>
#include <vector>

namespace platform {

// The machine's common program-data folder (FOLDERID_ProgramData), without a
// trailing backslash. Natively: "C:\ProgramData" in the sandbox mapping.
std::string ProgramDataDirectory();

// Makes `root\relative` (relative: one or more names separated by '\', e.g.
// "ZEPRA\AutoUpdate") a folder that only SYSTEM and Administrators can write,
// and returns its full path. `root` itself is trusted (a system folder). Each
// folder below it is checked from the top down: a missing one is created with
// the protected access list; one that is a link or reparse point (junction,
// symbolic link, mount point), is not a folder, or whose owner is not trusted
// is renamed aside (a hidden "<name>.~untrusted<N>" beside it: the link
// itself, never its target) and a new one is created in its place. A trusted
// existing one gets the protected access list again. OsError (with the
// system's text) when a level cannot be made safe.
std::string EnsurePrivateFolder(const std::string& root, const std::string& relative);

// A new, empty private folder with a name of its own below `parent` (which
// must be private already): "<parent>\<prefix>-<unique>", created with the
// protected access list, never an existing one. OsError when it cannot be
// created.
std::string CreateFreshPrivateFolder(const std::string& parent, const std::string& prefix);

// Removes a folder and everything below it without following links or
// reparse points inside it (a link is removed as itself). Best effort; false
// when something stayed.
bool RemoveFolderTree(const std::string& path);

// The names of `relative` ("ZEPRA\AutoUpdate"), top first; OsError for an
// empty one or a level that is "." or ".." or holds a "/".
std::vector<std::string> PrivateFolderLevels(const std::string& relative);

}  // namespace platform
