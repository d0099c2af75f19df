#pragma once
// Names a delta package's index may hold: a file below the folder a package
// is unpacked into, or an entry of the delta package.
#include <string_view>

namespace delta {

// Relative, '/' between parts that are each a plain name
// (platform::IsPlainName: not empty, not made of dots and blanks only, no
// device name, none of '\', ':', control characters and <>"|?*), so that
// it cannot leave its folder or open a stream or device. At most 1024 bytes.
bool IsPlainRelativeName(std::string_view name);

}  // namespace delta
