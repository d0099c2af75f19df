#include "xml/xml_file_encoding.h"

#include "platform/codepage.h"
#include "xml/xml_chars.h"

namespace xml {
namespace {

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The encoding pseudo-attribute of a declaration written in ASCII-compatible
// bytes; empty when there is none. The parser checks the declaration's form.
std::string DeclaredEncoding(std::string_view bytes) {
  if (!StartsWith(bytes, "<?xml") || bytes.size() < 6 || !chars::IsSpace(bytes[5])) return {};
  const size_t end = bytes.find("?>");
  if (end == std::string_view::npos) return {};
  std::string_view decl = bytes.substr(0, end);
  size_t pos = decl.find("encoding");
  if (pos == std::string_view::npos) return {};
  pos += 8;
  while (pos < decl.size() && chars::IsSpace(decl[pos])) ++pos;
  if (pos >= decl.size() || decl[pos] != '=') return {};
  ++pos;
  while (pos < decl.size() && chars::IsSpace(decl[pos])) ++pos;
  if (pos >= decl.size() || (decl[pos] != '"' && decl[pos] != '\'')) return {};
  const char quote = decl[pos++];
  const size_t close = decl.find(quote, pos);
  if (close == std::string_view::npos) return {};
  return std::string(decl.substr(pos, close - pos));
}

}  // namespace

FileEncoding DetectFileEncoding(std::string_view bytes) {
  if (StartsWith(bytes, "\xEF\xBB\xBF")) return {"UTF-8", 3};
  if (StartsWith(bytes, "\xFF\xFE")) return {"UTF-16LE", 2};
  if (StartsWith(bytes, "\xFE\xFF")) return {"UTF-16BE", 2};
  if (StartsWith(bytes, std::string_view("<\0?\0", 4))) return {"UTF-16LE", 0};
  if (StartsWith(bytes, std::string_view("\0<\0?", 4))) return {"UTF-16BE", 0};
  std::string declared = DeclaredEncoding(bytes);
  if (!declared.empty()) return {declared, 0};
  return {"UTF-8", 0};
}

std::optional<std::string> DecodeXmlFile(std::string_view bytes) {
  const FileEncoding enc = DetectFileEncoding(bytes);
  return platform::DecodeToUtf8(bytes.substr(enc.bomLength), enc.name);
}

}  // namespace xml
