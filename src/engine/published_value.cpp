#include "engine/published_value.h"

namespace engine {

bool IsByteCount(std::string_view text) {
  return !text.empty() && text.size() <= 19 && text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool IsSha256Hex(std::string_view text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

}  // namespace engine
