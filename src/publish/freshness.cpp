#include "publish/freshness.h"

#include <stdexcept>
#include <string>

#include "engine/manifest_freshness.h"
#include "publish/release.h"

namespace publish {

AttributeList NextFreshness(const xml::XmlDocument* previous, std::time_t now, std::optional<int> expiresDays) {
  std::uint64_t serial = 1;
  if (previous && previous->documentElement()) {
    try {
      if (const auto last = engine::ReadManifestAge(*previous).serial) serial = *last + 1;
    } catch (const std::runtime_error& e) {
      throw PublishError(std::string("现有的") + e.what() + "。");
    }
  }
  AttributeList attributes{{"Serial", std::to_string(serial)}};
  if (expiresDays) {
    if (*expiresDays < 1 || *expiresDays > 3650) throw PublishError("--expires-days 应为 1 到 3650 之间的天数。");
    attributes.emplace_back("Expires", engine::FormatUtcStamp(now + static_cast<std::time_t>(*expiresDays) * 86400));
  }
  return attributes;
}

}  // namespace publish
