#pragma once
// Character classes of XML 1.0 (fifth edition) over UTF-8 text.
#include <cstddef>
#include <string>
#include <string_view>

namespace xml::chars {

// Decodes one UTF-8 sequence at text[pos]; returns its code point and sets
// length, or returns -1 (length 0) for a malformed, overlong or surrogate
// sequence.
long DecodeUtf8(std::string_view text, size_t pos, size_t& length);
void AppendUtf8(std::string& out, unsigned long codePoint);

// Char: #x9 | #xA | #xD | [#x20-#xD7FF] | [#xE000-#xFFFD] | [#x10000-#x10FFFF]
bool IsXmlChar(unsigned long c);
bool IsNameStartChar(unsigned long c);
bool IsNameChar(unsigned long c);
inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsAllSpace(std::string_view text);

// Length of the Name at the start of text (0 when text does not start with a
// name character).
size_t NameLength(std::string_view text);

}  // namespace xml::chars
