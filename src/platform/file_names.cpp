#include "platform/file_names.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include "base/text.h"

namespace platform {
namespace {

constexpr std::string_view kForbidden = "<>:\"/\\|?*";

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// Dots and blanks only: Windows reads "..", "...", ". ." alike as the parent.
bool DotsAndBlanks(std::string_view part) {
  return !part.empty() && std::all_of(part.begin(), part.end(), [](char c) { return c == '.' || c == ' '; });
}

std::vector<std::string_view> Components(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = path.find_first_of("\\/", start);
    parts.push_back(path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

// Components with "." dropped and ".." applied; false when ".." climbs above
// the start.
bool Resolve(std::string_view path, std::vector<std::string>& out) {
  out.clear();
  for (std::string_view part : Components(path)) {
    if (part.empty() || part == ".") continue;
    if (DotsAndBlanks(part)) {
      if (out.empty()) return false;
      out.pop_back();
      continue;
    }
    out.push_back(base::UpperAscii(part));
  }
  return true;
}

}  // namespace

bool IsDeviceName(std::string_view name) {
  // The system drops trailing dots and blanks, then the extension, then the
  // blanks before it.
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  const std::string upper = base::UpperAscii(name);
  static constexpr std::array<std::string_view, 6> kFixed = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  if (std::find(kFixed.begin(), kFixed.end(), upper) != kFixed.end()) return true;
  const std::string_view u = upper;
  if (u.size() < 4 || (u.substr(0, 3) != "COM" && u.substr(0, 3) != "LPT")) return false;
  const std::string_view digit = u.substr(3);
  if (digit.size() == 1) return digit[0] >= '0' && digit[0] <= '9';
  // ¹ ² ³ in UTF-8.
  return digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

bool IsPlainName(std::string_view name) {
  if (name.empty() || DotsAndBlanks(name) || IsDeviceName(name)) return false;
  return std::none_of(name.begin(), name.end(),
                      [](char c) { return IsControl(c) || kForbidden.find(c) != std::string_view::npos; });
}

bool IsPlainRelativePath(std::string_view path) {
  if (path.empty() || path.front() == '\\' || path.front() == '/') return false;
  const std::vector<std::string_view> parts = Components(path);
  for (std::string_view part : parts) {
    if (part.empty() || part == ".") continue;
    if (!IsPlainName(part)) return false;
  }
  return IsPlainName(parts.back());
}

bool IsFullPath(std::string_view path) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && separator(path[2])) {
    return true;
  }
  return path.size() >= 3 && separator(path[0]) && separator(path[1]) && !separator(path[2]);
}

bool IsInsideFolder(std::string_view folder, std::string_view path) {
  std::vector<std::string> base, full;
  if (!Resolve(folder, base) || !Resolve(path, full)) return false;
  if (full.size() <= base.size()) return false;
  return std::equal(base.begin(), base.end(), full.begin());
}

}  // namespace platform
