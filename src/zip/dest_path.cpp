#include "zip/dest_path.h"

#include "base/text.h"
#include "platform/file_names.h"

namespace zip {
namespace {

bool StartsWithText(std::string_view s, std::string_view prefix) {
  return prefix.size() <= s.size() && base::SameTextByLocale(s.substr(0, prefix.size()), prefix);
}

}  // namespace

std::string MapDestinationDir(const std::string& destDir, const std::string& directory, const std::string& root) {
  if (directory.empty()) return destDir + "\\";
  std::string d = directory;
  if (StartsWithText(d, root)) d.erase(0, root.size());
  if (d.empty() || (d[0] != '\\' && !(d.size() > 1 && d[1] == ':'))) return destDir + "\\" + d;
  if (destDir.empty()) return d;
  if (d[0] == '\\') return destDir + d;
  return destDir + d.substr(2);
}

bool IsSafeEntryName(const std::string& directory, const std::string& fileName) {
  const std::string full = directory + fileName;
  std::string_view name = full;
  // A leading drive and leading separators are dropped when the entry is
  // placed below the destination; every other component must be a plain name.
  if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) name.remove_prefix(2);
  while (!name.empty() && (name.front() == '\\' || name.front() == '/')) name.remove_prefix(1);
  for (size_t start = 0; start <= name.size();) {
    size_t end = name.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = name.size();
    const std::string_view part = name.substr(start, end - start);
    if (!part.empty() && part != "." && !platform::IsPlainName(part)) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace zip
