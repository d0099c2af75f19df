#include "engine/stall_limit.h"

#include <algorithm>

namespace engine {

std::chrono::seconds StallLimit(std::optional<std::uint32_t> configuredSeconds) {
  const std::uint32_t seconds =
      configuredSeconds ? std::clamp(*configuredSeconds, kMinStallSeconds, kMaxStallSeconds) : kDefaultStallSeconds;
  return std::chrono::seconds(seconds);
}

}  // namespace engine
