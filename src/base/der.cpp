#include "base/der.h"

namespace base::der {

std::optional<Element> Read(std::string_view& input) {
  if (input.size() < 2) return std::nullopt;
  const auto tag = static_cast<std::uint8_t>(input[0]);
  size_t length = static_cast<std::uint8_t>(input[1]);
  size_t header = 2;
  if (length & 0x80) {
    // Long form: the next (length & 0x7F) bytes, at most four of them.
    const size_t bytes = length & 0x7F;
    if (bytes == 0 || bytes > 4 || input.size() < 2 + bytes) return std::nullopt;
    length = 0;
    for (size_t i = 0; i < bytes; ++i) length = (length << 8) | static_cast<std::uint8_t>(input[2 + i]);
    header += bytes;
  }
  if (input.size() - header < length) return std::nullopt;
  Element element{tag, input.substr(header, length)};
  input.remove_prefix(header + length);
  return element;
}

std::optional<std::string_view> Read(std::string_view& input, std::uint8_t tag) {
  std::string_view rest = input;
  const std::optional<Element> element = Read(rest);
  if (!element || element->tag != tag) return std::nullopt;
  input = rest;
  return element->content;
}

std::optional<std::string_view> ReadWhole(std::string_view input, std::uint8_t tag) {
  const std::optional<std::string_view> content = Read(input, tag);
  if (!content || !input.empty()) return std::nullopt;
  return content;
}

}  // namespace base::der
