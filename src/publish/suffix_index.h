#pragma once
// The suffix array of a file's bytes (libdivsufsort), to find the longest
// match of a piece of another file in it.
#include <cstdint>
#include <string_view>
#include <vector>

namespace publish {

struct Match {
  std::size_t offset = 0;  // in the indexed bytes
  std::size_t length = 0;
};

class SuffixIndex {
 public:
  // PublishError for 2 GB or more.
  explicit SuffixIndex(std::string_view bytes);
  // The longest prefix of `query` that occurs in the indexed bytes.
  Match Longest(std::string_view query) const;

 private:
  std::size_t CommonPrefix(std::size_t suffix, std::string_view query) const;
  bool SuffixBefore(std::size_t suffix, std::string_view query) const;

  std::string_view bytes_;
  std::vector<std::int32_t> suffixes_;
};

}  // namespace publish
