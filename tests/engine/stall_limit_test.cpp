// The administrator's StallSeconds, held to sensible bounds.
#include "engine/stall_limit.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(StallLimit, DefaultAndBounds) {
  const std::pair<std::optional<std::uint32_t>, long long> cases[] = {
      {std::nullopt, 60}, {0, 5},       {4, 5},       {5, 5},
      {61, 61},           {3600, 3600}, {3601, 3600}, {0xFFFFFFFFu, 3600},
  };
  for (const auto& [configured, seconds] : cases) {
    EXPECT_EQ(engine::StallLimit(configured).count(), seconds) << (configured ? *configured : -1LL);
  }
}

}  // namespace
