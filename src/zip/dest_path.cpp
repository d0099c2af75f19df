#include "zip/dest_path.h"

#include <cctype>

#include "platform/files.h"

namespace zip {
namespace {

bool StartsWithText(const std::string& s, const std::string& prefix) {
  if (prefix.size() > s.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(s[i])) != std::toupper(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool Climbs(const std::string& part) {
  if (part.empty() || part == ".") return false;
  for (char c : part) {
    if (c != '.' && c != ' ') return false;
  }
  return true;
}

// Lexically resolved components; false when ".." climbs above the start.
bool Resolve(const std::string& path, std::vector<std::string>& out) {
  out.clear();
  for (const std::string& part : Components(path)) {
    if (part.empty() || part == ".") continue;
    if (Climbs(part)) {
      if (out.empty()) return false;
      out.pop_back();
      continue;
    }
    std::string upper;
    for (char c : part) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    out.push_back(upper);
  }
  return true;
}

}  // namespace

std::string MapDestinationDir(const std::string& destDir, const std::string& directory, bool recreateDirs,
                              const std::vector<std::string>& relativePaths) {
  if (!recreateDirs || directory.empty()) return destDir + "\\";
  std::string d = directory;
  for (const std::string& prefix : relativePaths) {
    if (StartsWithText(d, prefix)) {
      d.erase(0, prefix.size());
      break;
    }
  }
  if (d.empty() || (d[0] != '\\' && !(d.size() > 1 && d[1] == ':'))) return destDir + "\\" + d;
  if (destDir.empty()) return d;
  if (d[0] == '\\') return destDir + d;
  return destDir + d.substr(2);
}

bool IsSafeEntryName(const std::string& directory, const std::string& fileName) {
  for (const std::string& part : Components(directory)) {
    if (Climbs(part)) return false;
  }
  return !Climbs(fileName);
}

bool IsInsideFolder(const std::string& folder, const std::string& path) {
  std::vector<std::string> base, full;
  if (!Resolve(folder, base) || !Resolve(path, full)) return false;
  if (full.size() <= base.size()) return false;
  for (size_t i = 0; i < base.size(); ++i) {
    if (base[i] != full[i]) return false;
  }
  return true;
}

void CreateFolderPath(const std::string& path) {
  std::string p = path;
  if (!p.empty() && (p.back() == '\\' || p.back() == '/')) p.pop_back();
  if (p.size() <= 2 || platform::DirectoryExists(p)) return;
  // (Native test paths use slashes.)
  size_t cut = p.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0) CreateFolderPath(p.substr(0, cut));
  platform::CreateDir(p);
}

}  // namespace zip
