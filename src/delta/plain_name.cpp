#include "delta/plain_name.h"

namespace delta {
namespace {

constexpr std::size_t kMaxName = 1024;

bool IsPlainPart(std::string_view part) {
  if (part.empty() || part == "." || part == "..") return false;
  for (char c : part) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f || std::string_view("\\:<>\"|?*").find(c) != std::string_view::npos) return false;
  }
  return true;
}

}  // namespace

bool IsPlainRelativeName(std::string_view name) {
  if (name.empty() || name.size() > kMaxName) return false;
  for (std::size_t start = 0;;) {
    const std::size_t slash = name.find('/', start);
    if (!IsPlainPart(name.substr(start, slash - start))) return false;
    if (slash == std::string_view::npos) return true;
    start = slash + 1;
  }
}

}  // namespace delta
