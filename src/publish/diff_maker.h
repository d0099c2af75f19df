#pragma once
// Making a binary patch (delta/patch_format.h) from one file's bytes to
// another's, for delta packages. The old file is suffix-sorted; the new one
// is scanned for long matches in it, and between matches the current
// alignment is kept while it still mostly agrees, so that the difference
// stream is mostly zeros and compresses well.
#include <string>
#include <string_view>

namespace publish {

// The patch that turns `oldBytes` into `newBytes`. PublishError for an old
// file of 2 GB or more.
std::string MakePatch(std::string_view oldBytes, std::string_view newBytes);

}  // namespace publish
