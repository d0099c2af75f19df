#pragma once
#include <string_view>

namespace engine {

// Version texts compare as strings of unsigned bytes in the system code page:
// the first differing byte decides, a longer text beats its own prefix, equal
// texts are not greater. No numbers: "1.0.10" < "1.0.9", "2.0" > "10.0".
bool IsVersionGreater(std::string_view a, std::string_view b);

}  // namespace engine
