#pragma once
// Branch mirrors an administrator configures: base addresses of static copies
// of the update server's folder, tried in order for packages whose digest the
// manifest gives. REG_SZ or REG_MULTI_SZ value Mirrors beside PublisherKeys,
// addresses separated by blanks or line breaks.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class IRegistry;
}

namespace engine {

class TraceFile;

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

// The mirrors configured on this machine; the addresses used and those
// ignored are noted in the trace.
std::vector<std::string> ConfiguredMirrors(platform::IRegistry& registry, const TraceFile& trace);

}  // namespace engine
