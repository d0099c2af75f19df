// Reads an arbitrary byte string as a delta package's index. Whatever it
// accepts must hold only plain relative names and well-formed digests, and
// must read back the same after formatting.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "delta/delta_index.h"
#include "delta/plain_name.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<delta::DeltaFile> files;
  try {
    files = delta::ParseDeltaIndex(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const delta::DeltaIndexError&) {
    return 0;
  }
  for (const delta::DeltaFile& file : files) {
    if (!delta::IsPlainRelativeName(file.path)) std::abort();
    if (!file.entry.empty() && !delta::IsPlainRelativeName(file.entry)) std::abort();
    for (const auto& digest : {file.base, file.result}) {
      if (digest && digest->sha256.size() != 64) std::abort();
    }
  }
  if (delta::ParseDeltaIndex(delta::FormatDeltaIndex(files)) != files) std::abort();
  return 0;
}
