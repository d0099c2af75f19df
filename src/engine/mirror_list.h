#pragma once
// Branch mirrors an administrator configures: base addresses of static copies
// of the update server's folder, tried in order for packages whose digest the
// manifest gives. REG_SZ or REG_MULTI_SZ value Mirrors beside PublisherKeys,
// addresses separated by blanks or line breaks.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class IRegistry;
}

namespace engine {

inline constexpr const char* kMirrorsKey = "SOFTWARE\\ZEPRA\\AutoUpdate";
inline constexpr const char* kMirrorsValue = "Mirrors";
// More would only lengthen every failing download.
inline constexpr std::size_t kMaxMirrors = 8;
inline constexpr std::size_t kMaxMirrorAddress = 512;

struct MirrorList {
  std::vector<std::string> addresses;  // usable, in the configured order
  std::vector<std::string> ignored;    // the rest, as configured
};

// "http://host[:port]/path" (scheme in any letter case) that passes
// IsClearWebAddress, with a path of ASCII letters, digits and "-._~/" only:
// nothing that could turn the package's name into a query or another host.
bool IsMirrorAddress(std::string_view address);

// Each word of the text that is a mirror address, up to kMaxMirrors.
MirrorList ParseMirrors(std::string_view text);

// The mirrors configured on this machine; nullopt when none are.
std::optional<MirrorList> ConfiguredMirrors(platform::IRegistry& registry);

// Addresses as the trace may show them: printable ASCII, each cut short,
// separated by blanks.
std::string MirrorsShown(const std::vector<std::string>& addresses);

}  // namespace engine
