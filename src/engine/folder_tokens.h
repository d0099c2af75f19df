#pragma once
// The setup-path values of manifest entries that pick a folder other than the
// program's own. The version check compares them ignoring letter case, the
// installation exactly.
#include <string_view>

namespace engine {

inline constexpr std::string_view kSystemFolderToken = "#System32";  // the Windows system folder
inline constexpr std::string_view kWindowsFolderToken = "#windows";  // the Windows folder
// A package of the database engine: unpacked into the staging folder, and its
// setup program run, only when the engine is missing.
inline constexpr std::string_view kDatabaseEngineToken = "#BDE";

}  // namespace engine
