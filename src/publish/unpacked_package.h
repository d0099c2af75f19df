#pragma once
// A published package's files, unpacked for the publisher's own use: to
// diff a new release against, or to check a delta package's results.
#include <map>
#include <string>

namespace publish {

// '/'-separated names below the folder (UTF-8) to their full paths.
using FileTree = std::map<std::string, std::string>;

// Unpacks the package below `folder`, which it creates. PublishError when
// an entry does not come out.
void UnpackPackage(const std::string& packagePath, const std::string& folder);

// Every regular file below the folder.
FileTree FilesBelow(const std::string& folder);

// The name in `tree` that Windows takes for `name` (ASCII letters in either
// case); empty when none.
std::string FindName(const FileTree& tree, const std::string& name);

}  // namespace publish
