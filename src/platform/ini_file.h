#pragma once
#include <string>

namespace platform {

// Writes key=value into [section] of an INI file like the system's profile
// writer: creates file and section, replaces an existing key in place, keeps
// every other line. Keys and values are stored in the ANSI code page.
// Returns false when the file cannot be written.
bool WriteIniString(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value);

}  // namespace platform
