#include "publish/versions.h"

#include "engine/version_rules.h"

namespace publish {

std::string NextVersion(std::string_view previous, std::time_t now) {
  std::tm utc{};
  gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &utc);
  if (engine::IsVersionGreater(stamp, previous)) return stamp;
  return std::string(previous) + "." + stamp;
}

}  // namespace publish
