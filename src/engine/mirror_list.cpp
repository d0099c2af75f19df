#include "engine/mirror_list.h"

#include <algorithm>
#include <optional>

#include "engine/server_address.h"
#include "platform/registry.h"

namespace engine {
namespace {

constexpr std::string_view kScheme = "http://";
constexpr const char* kBlanks = " \t\r\n";
constexpr std::size_t kShownLength = 80;

bool SchemeIsHttp(std::string_view address) {
  if (address.size() < kScheme.size()) return false;
  for (std::size_t i = 0; i < kScheme.size(); ++i) {
    char c = address[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kScheme[i]) return false;
  }
  return true;
}

bool IsPathChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("-._~/").find(c) != std::string_view::npos;
}

// A configured text as the trace may show it: printable ASCII, cut short.
std::string Shown(std::string_view text) {
  std::string shown(text.substr(0, kShownLength));
  for (char& c : shown) {
    if (c < 0x21 || c > 0x7E) c = '?';
  }
  return text.size() > kShownLength ? shown + "..." : shown;
}

}  // namespace

bool IsMirrorAddress(std::string_view address) {
  if (address.size() > kMaxMirrorAddress || !SchemeIsHttp(address) || !IsClearWebAddress(address)) return false;
  const std::size_t path = address.find('/', kScheme.size());
  if (path == std::string_view::npos) return false;
  for (const char c : address.substr(path)) {
    if (!IsPathChar(c)) return false;
  }
  return true;
}

MirrorList ParseMirrors(std::string_view text) {
  MirrorList list;
  std::size_t start = 0;
  for (;;) {
    const std::size_t begin = text.find_first_not_of(kBlanks, start);
    if (begin == std::string_view::npos) return list;
    const std::size_t end = std::min(text.find_first_of(kBlanks, begin), text.size());
    const std::string_view word = text.substr(begin, end - begin);
    const bool usable = IsMirrorAddress(word) && list.addresses.size() < kMaxMirrors;
    (usable ? list.addresses : list.ignored).emplace_back(word);
    start = end;
  }
}

std::optional<MirrorList> ConfiguredMirrors(platform::IRegistry& registry) {
  const std::optional<std::string> text = registry.ReadString(platform::RegistryRoot::LocalMachine, kMirrorsKey, kMirrorsValue);
  if (!text) return std::nullopt;
  return ParseMirrors(*text);
}

std::string MirrorsShown(const std::vector<std::string>& addresses) {
  std::string joined;
  for (const std::string& text : addresses) joined += (joined.empty() ? "" : " ") + Shown(text);
  return joined;
}

}  // namespace engine
