#include "xml/xml_chars.h"

#include "xml/xml_document.h"

namespace xml::chars {

long DecodeUtf8(std::string_view text, size_t pos, size_t& length) {
  length = 0;
  const size_t left = text.size() - pos;
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    length = 1;
    return lead;
  }
  size_t n;
  unsigned long c, min;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2, c = lead & 0x1Fu, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3, c = lead & 0x0Fu, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4, c = lead & 0x07u, min = 0x10000;
  } else {
    return -1;
  }
  if (left < n) return -1;
  for (size_t i = 1; i < n; ++i) {
    const unsigned char b = byte(i);
    if ((b & 0xC0) != 0x80) return -1;
    c = (c << 6) | (b & 0x3Fu);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
  length = n;
  return static_cast<long>(c);
}

void AppendUtf8(std::string& out, unsigned long c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsXmlChar(unsigned long c) {
  if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
  return c <= 0xD7FF || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

bool IsNameStartChar(unsigned long c) {
  if (c < 0x80) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
  }
  return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
         (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
         (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameChar(unsigned long c) {
  if (IsNameStartChar(c)) return true;
  if (c < 0x80) return (c >= '0' && c <= '9') || c == '-' || c == '.';
  return c == 0xB7 || (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

bool IsAllSpace(std::string_view text) {
  for (char c : text) {
    if (!IsSpace(c)) return false;
  }
  return true;
}

size_t NameLength(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    const unsigned char b = static_cast<unsigned char>(text[pos]);
    if (b < 0x80) {
      // The common case: ASCII names.
      const bool ok = pos == 0 ? IsNameStartChar(b) : IsNameChar(b);
      if (!ok) break;
      ++pos;
      continue;
    }
    size_t len;
    const long c = DecodeUtf8(text, pos, len);
    if (c < 0) break;
    const auto u = static_cast<unsigned long>(c);
    if (!(pos == 0 ? IsNameStartChar(u) : IsNameChar(u))) break;
    pos += len;
  }
  return pos;
}

}  // namespace xml::chars

namespace xml {

bool IsValidXmlName(std::string_view name) {
  return !name.empty() && chars::NameLength(name) == name.size();
}

}  // namespace xml
