#pragma once
// The index of a delta package: what becomes of each file of a module
// between two releases, with the sizes and SHA-256 digests a client checks
// before and after. A text file, one line per file (docs/delta-format.md).
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace delta {

inline constexpr std::string_view kIndexEntryName = "delta-index.txt";
inline constexpr std::string_view kIndexFirstLine = "AU-DELTA-INDEX 1";
inline constexpr std::size_t kMaxIndexBytes = 4 * 1024 * 1024;

enum class DeltaAction { Unchanged, New, Removed, Patched };

struct FileDigest {
  std::uint64_t size = 0;
  std::string sha256;  // 64 lower-case hex digits
  bool operator==(const FileDigest&) const = default;
};

struct DeltaFile {
  std::string path;  // below the folder the package is unpacked into, '/' between folders
  DeltaAction action = DeltaAction::Unchanged;
  std::optional<FileDigest> base;    // none for a new file
  std::optional<FileDigest> result;  // none for a removed file
  std::string entry;                 // the patch or the whole file in the package; empty otherwise
  bool operator==(const DeltaFile&) const = default;
};

// "差异包索引第 <n> 行无效：<why>"
class DeltaIndexError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string FormatDeltaIndex(const std::vector<DeltaFile>& files);
// Every line checked: the action's fields present and only those, sizes
// decimal, digests 64 hex digits, paths and entries plain relative names,
// no path or entry twice, an unchanged file's result its base.
std::vector<DeltaFile> ParseDeltaIndex(std::string_view text);

}  // namespace delta
