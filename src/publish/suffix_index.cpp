#include "publish/suffix_index.h"

#include <divsufsort.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "publish/release.h"

namespace publish {

SuffixIndex::SuffixIndex(std::string_view bytes) : bytes_(bytes), suffixes_(bytes.size()) {
  if (bytes.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw PublishError("文件过大，无法生成差异（上限 2 GB）。");
  }
  if (!bytes.empty() && divsufsort(reinterpret_cast<const sauchar_t*>(bytes.data()), suffixes_.data(),
                                   static_cast<saidx_t>(bytes.size())) != 0) {
    throw PublishError("后缀排序失败。");
  }
}

std::size_t SuffixIndex::CommonPrefix(std::size_t suffix, std::string_view query) const {
  const std::string_view rest = bytes_.substr(suffix);
  const std::size_t most = std::min(rest.size(), query.size());
  std::size_t n = 0;
  while (n < most && rest[n] == query[n]) ++n;
  return n;
}

bool SuffixIndex::SuffixBefore(std::size_t suffix, std::string_view query) const {
  const std::string_view rest = bytes_.substr(suffix);
  const std::size_t n = CommonPrefix(suffix, query);
  if (n == query.size()) return false;  // the query is a prefix: not before
  if (n == rest.size()) return true;
  return static_cast<unsigned char>(rest[n]) < static_cast<unsigned char>(query[n]);
}

Match SuffixIndex::Longest(std::string_view query) const {
  // The suffix sharing the longest prefix with the query sorts right
  // beside the place the query would take.
  const auto place = std::partition_point(suffixes_.begin(), suffixes_.end(), [&](std::int32_t s) {
    return SuffixBefore(static_cast<std::size_t>(s), query);
  });
  Match best;
  for (auto it : {place - (place == suffixes_.begin() ? 0 : 1), place}) {
    if (it == suffixes_.end()) continue;
    const auto offset = static_cast<std::size_t>(*it);
    const std::size_t length = CommonPrefix(offset, query);
    if (length > best.length) best = {offset, length};
  }
  return best;
}

}  // namespace publish
