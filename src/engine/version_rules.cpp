#include "engine/version_rules.h"

#include <algorithm>
#include <string>

#include "platform/codepage.h"

namespace engine {
namespace {

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool GreaterBytes(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y) return x > y;
  }
  return a.size() > b.size();
}

}  // namespace

bool IsVersionGreater(std::string_view a, std::string_view b) {
  if (IsAscii(a) && IsAscii(b)) return GreaterBytes(a, b);
  // Other characters order by their bytes in the system code page, not UTF-8.
  const std::string x = platform::Utf8ToAnsi(a), y = platform::Utf8ToAnsi(b);
  return GreaterBytes(x, y);
}

}  // namespace engine
