#pragma once
#include <string>
#include <string_view>

namespace base {

// Standard Base64 ("=" fills). Blanks and line breaks are skipped; decoding
// stops at the first "=" or at any other character outside the alphabet.
// Trailing bits that make no whole byte are dropped.
std::string DecodeBase64(std::string_view text);

}  // namespace base
