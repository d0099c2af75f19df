#pragma once
// How a document file's bytes become text: a byte-order mark (UTF-8, UTF-16
// LE/BE) decides, else UTF-16 recognised by its first characters, else the
// encoding named in the XML declaration, else UTF-8.
#include <optional>
#include <string>
#include <string_view>

namespace xml {

// The encoding the bytes are read in ("UTF-8", "UTF-16LE", "GB2312", ...) and
// how many leading bytes are a byte-order mark.
struct FileEncoding {
  std::string name;
  size_t bomLength = 0;
};
FileEncoding DetectFileEncoding(std::string_view bytes);

// The file's text as UTF-8; nullopt when the encoding is unknown or the bytes
// are not valid in it.
std::optional<std::string> DecodeXmlFile(std::string_view bytes);

}  // namespace xml
