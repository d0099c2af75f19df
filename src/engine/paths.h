#pragma once
// Windows path text rules shared by the engine and the shell.
#include <string>
#include <string_view>

namespace engine {

// The folder part of a path, up to and including its last backslash (or
// colon); empty when there is none.
std::string FolderOf(std::string_view path);
// The file name part after the folder part.
std::string NameOf(std::string_view path);
// A folder and a name joined with exactly one backslash.
std::string JoinPath(std::string_view folder, std::string_view name);
// The text less its last `count` bytes as the system counts 8-bit text (in
// the ANSI code page); a character that the cut would split goes whole.
std::string WithoutLastAnsiBytes(std::string_view utf8, size_t count);

}  // namespace engine
