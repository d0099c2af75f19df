#include "engine/version_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(VersionRules, ByteOrderNotNumbers) {
  struct Case {
    const char* a;
    const char* b;
    bool greater;
  } cases[] = {
      {"1.0.10", "1.0.9", false},  // '1' < '9'
      {"1.0.9", "1.0.10", true},
      {"2.0", "10.0", true},
      {"1.0", "1.0.1", false},  // a prefix is smaller
      {"1.0.1", "1.0", true},
      {"1.0", "1.0", false},
      {"1", "", true},  // anything beats an empty version
      {"", "", false},
      {"", "0", false},
      {"20250101", "20241231", true},  // dates of equal width order by value
      {"a", "B", true},                // bytes, not letters: 'a' (0x61) > 'B' (0x42)
      {"1.0\xE2\x82\xAC", "1.0a", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(engine::IsVersionGreater(c.a, c.b), c.greater);
  }
}

}  // namespace
