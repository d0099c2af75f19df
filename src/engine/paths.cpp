#include "engine/paths.h"

namespace engine {

std::string FolderOf(std::string_view path) {
  size_t p = path.find_last_of("\\:");
  return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string NameOf(std::string_view path) {
  size_t p = path.find_last_of("\\:");
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  while (!folder.empty() && folder.back() == '\\') folder.remove_suffix(1);
  while (!name.empty() && name.front() == '\\') name.remove_prefix(1);
  std::string r(folder);
  r += '\\';
  r += name;
  return r;
}

std::string Trim(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  return std::string(text.substr(b, e - b));
}

std::string UpperAscii(std::string_view text) {
  std::string r(text);
  for (char& c : r) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return r;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  return a.size() == b.size() && UpperAscii(a) == UpperAscii(b);
}

size_t FindIgnoringCase(std::string_view text, std::string_view needle) {
  return UpperAscii(text).find(UpperAscii(needle));
}

}  // namespace engine
