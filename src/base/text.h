#pragma once
// Byte-wise text helpers. "Ascii" ones touch the letters A-Z and a-z only;
// "ByLocale" ones go through the C library's toupper/tolower, which follow
// its current locale (the "C" locale, so ASCII too, unless the process set
// another one).
#include <cstddef>
#include <string>
#include <string_view>

namespace base {

// ASCII letters upper-cased (lower-cased), every other byte kept.
std::string UpperAscii(std::string_view text);
std::string LowerAscii(std::string_view text);
// Every byte through tolower.
std::string LowerByLocale(std::string_view text);

// Same length and the same bytes once ASCII letters are upper-cased.
bool SameTextAscii(std::string_view a, std::string_view b);
// Same length and the same bytes once each went through toupper.
bool SameTextByLocale(std::string_view a, std::string_view b);
// Index of the first occurrence of needle, ASCII letters compared ignoring
// case; npos when absent.
std::size_t FindTextAscii(std::string_view text, std::string_view needle);

// The text without its leading and trailing blanks and control characters
// (every byte up to 32).
std::string_view Trimmed(std::string_view text);
// The text without its leading and trailing spaces and tabs; other control
// characters stay.
std::string_view TrimmedSpacesAndTabs(std::string_view text);

}  // namespace base
