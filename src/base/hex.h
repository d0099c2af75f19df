#pragma once
#include <string>
#include <string_view>

namespace base {

// Lower-case hexadecimal, two digits a byte (how digests are written).
std::string ToHex(std::string_view bytes);

}  // namespace base
