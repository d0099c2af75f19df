#pragma once
// Names a delta package's index may hold: a file below the folder a package
// is unpacked into, or an entry of the delta package.
#include <string_view>

namespace delta {

// Relative, '/' between non-empty parts, no part "." or "..", and none of
// the characters that make a Windows name leave its folder or open a stream
// or device: '\', ':', control characters, and <>"|?*. At most 1024 bytes.
bool IsPlainRelativeName(std::string_view name);

}  // namespace delta
