#include "delta/plain_name.h"

#include "platform/file_names.h"

namespace delta {
namespace {

constexpr std::size_t kMaxName = 1024;

bool IsPlainPart(std::string_view part) {
  for (char c : part) {
    if (c == 0x7f) return false;
  }
  return platform::IsPlainName(part);
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
