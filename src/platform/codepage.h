#pragma once
// Text conversions at the boundary to the system. Inside the program all text
// is UTF-8; the system stores and reads 8-bit text in its ANSI code page
// (936, GBK, on the target machines) and zip entry names in its OEM code page.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

std::string AnsiToUtf8(std::string_view ansi);
// Characters the ANSI code page cannot hold become '?'.
std::string Utf8ToAnsi(std::string_view utf8);
std::string OemToUtf8(std::string_view oem);

// Named encodings as written in XML declarations ("UTF-8", "GB2312", "gbk",
// "windows-1252", "UTF-16", ...), compared ignoring case. nullopt when the
// encoding is unknown, the bytes are not valid in it, or (encoding) a
// character cannot be held by it. "UTF-16" means little-endian (a byte-order
// mark is honoured when decoding; none is written when encoding).
bool IsKnownEncoding(std::string_view encoding);
std::optional<std::string> DecodeToUtf8(std::string_view bytes, std::string_view encoding);
std::optional<std::string> EncodeFromUtf8(std::string_view utf8, std::string_view encoding);

// The name under which DecodeToUtf8 knows the ANSI code page ("cp936", ...).
std::string AnsiEncodingName();

}  // namespace platform
