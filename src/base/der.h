#pragma once
// Just enough DER to take apart a public key and a signature: one element at
// a time, definite lengths only, nothing read beyond the bytes given.
#include <cstdint>
#include <optional>
#include <string_view>

namespace base::der {

inline constexpr std::uint8_t kInteger = 0x02;
inline constexpr std::uint8_t kBitString = 0x03;
inline constexpr std::uint8_t kObjectId = 0x06;
inline constexpr std::uint8_t kSequence = 0x30;

struct Element {
  std::uint8_t tag;
  std::string_view content;
};

// The element at the start of `input`, which moves past it; nullopt when the
// bytes hold no complete element.
std::optional<Element> Read(std::string_view& input);

// The element at the start of `input` when it has this tag.
std::optional<std::string_view> Read(std::string_view& input, std::uint8_t tag);

// The content of the one element that is all of `input`, when it has this tag.
std::optional<std::string_view> ReadWhole(std::string_view input, std::uint8_t tag);

}  // namespace base::der
