#pragma once
// The forms of the values a manifest gives for a published file: its size
// in bytes and its SHA-256.
#include <string_view>

namespace engine {

// Decimal digits only, at most 19 of them (so it fits 64 bits).
bool IsByteCount(std::string_view text);
// 64 hexadecimal digits, either letter case.
bool IsSha256Hex(std::string_view text);

}  // namespace engine
