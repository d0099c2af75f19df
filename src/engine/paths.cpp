#include "engine/paths.h"

#include <algorithm>
#include <vector>

#include "platform/codepage.h"

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

namespace {

// Length of the UTF-8 sequence that starts with this byte (1 for a stray byte).
size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead < 0xF8) return 4;
  if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
  if (lead >= 0xC0) return 2;
  return 1;
}

}  // namespace

std::string WithoutLastAnsiBytes(std::string_view utf8, size_t count) {
  struct Character {
    size_t end;        // in the UTF-8 text
    size_t ansiBytes;  // as the system stores it
  };
  std::vector<Character> chars;
  size_t ansiTotal = 0;
  for (size_t i = 0; i < utf8.size();) {
    const size_t n = std::min(SequenceLength(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
    const size_t bytes = std::max<size_t>(platform::Utf8ToAnsi(utf8.substr(i, n)).size(), 1);
    i += n;
    chars.push_back({i, bytes});
    ansiTotal += bytes;
  }
  const size_t keep = ansiTotal > count ? ansiTotal - count : 0;
  size_t kept = 0, end = 0;
  for (const Character& c : chars) {
    if (kept + c.ansiBytes > keep) break;
    kept += c.ansiBytes;
    end = c.end;
  }
  return std::string(utf8.substr(0, end));
}

}  // namespace engine
