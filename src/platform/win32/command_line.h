#pragma once
// A command line split by the system's usual rules (quotes group blanks,
// backslashes before a quote escape it), as UTF-8.
#include <string>
#include <string_view>
#include <vector>

namespace platform::win32 {

// All words of a command line, the program name first.
std::vector<std::string> SplitCommandLine(std::wstring_view commandLine);

}  // namespace platform::win32
