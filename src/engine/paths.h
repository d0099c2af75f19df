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
// Leading and trailing blanks and control characters removed (bytes <= 32).
std::string Trim(std::string_view text);
// ASCII letters upper-cased, every other byte kept.
std::string UpperAscii(std::string_view text);
bool SameTextAscii(std::string_view a, std::string_view b);
// The text less its last `count` bytes as the system counts 8-bit text (in
// the ANSI code page); a character that the cut would split goes whole.
std::string WithoutLastAnsiBytes(std::string_view utf8, size_t count);
// Index of the first occurrence of needle, ASCII letters compared ignoring
// case; npos when absent.
size_t FindIgnoringCase(std::string_view text, std::string_view needle);

}  // namespace engine
