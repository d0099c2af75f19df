#pragma once
// Shared by the interoperability tests: where the archives made at test time
// lie, and file listing with UTF-8 names on every build.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/base/test_paths.h"

namespace ziptest {

inline std::filesystem::path U8Path(const std::string& s) { return std::filesystem::path(std::u8string(s.begin(), s.end())); }
inline std::string U8String(const std::filesystem::path& p) {
  std::u8string u = p.generic_u8string();
  return std::string(u.begin(), u.end());
}

// The folder the ctest fixture fills (make_test_archives.sh), as a path the
// program under test can open.
inline std::string DataDir() {
#ifdef _WIN32
  return testing_support::BinaryDir() + "\\zip-data";
#else
  return testing_support::BinaryDir() + "/zip-data";
#endif
}

inline std::string Join(const std::string& a, const std::string& b) {
#ifdef _WIN32
  std::string r = a + "\\" + b;
  std::replace(r.begin(), r.end(), '/', '\\');
  return r;
#else
  return a + "/" + b;
#endif
}

// Files below a folder, relative, with '/' separators.
inline std::vector<std::string> FilesBelow(const std::string& folder) {
  std::vector<std::string> out;
  std::error_code ec;
  if (!std::filesystem::is_directory(U8Path(folder), ec)) return out;
  for (auto it = std::filesystem::recursive_directory_iterator(U8Path(folder), ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    if (it->is_regular_file(ec)) out.push_back(U8String(std::filesystem::relative(it->path(), U8Path(folder))));
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace ziptest
