#pragma once
// What an update server offers below its base address.
#include <string>
#include <string_view>

namespace engine {

inline constexpr std::string_view kManifestName = "AutoUpdateIniS.xml";
inline constexpr std::string_view kConfigTemplateName = "AutoUpdateIniC.xml";
inline constexpr std::string_view kPackageFolder = "clientfile/";

// The base address and a name below it, joined with exactly one "/".
inline std::string ServerFileUrl(const std::string& serverUrl, std::string_view name) {
  std::string url = serverUrl;
  if (url.empty() || url.back() != '/') url += '/';
  return url.append(name);
}

}  // namespace engine
