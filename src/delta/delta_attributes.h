#pragma once
// The manifest entry's optional attributes that offer a delta package
// (docs/delta-format.md). Older updaters ignore them.
#include <string_view>

namespace delta {

inline constexpr std::string_view kDeltaFileNameAttribute = "DeltaFileName";  // below clientfile/, as FileName
inline constexpr std::string_view kDeltaFromAttribute = "DeltaFrom";  // the Version the delta starts from
inline constexpr std::string_view kDeltaSha256Attribute = "DeltaSHA256";
inline constexpr std::string_view kDeltaSizeAttribute = "DeltaSize";

}  // namespace delta
