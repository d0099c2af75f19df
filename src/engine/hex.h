#pragma once
#include <string>
#include <string_view>

namespace engine {

// Lower-case hexadecimal, two digits a byte (how digests are written).
std::string ToHex(std::string_view bytes);

}  // namespace engine
