// Serials and expiry of signed manifests: the rules, apart from the engine.
#include "engine/manifest_freshness.h"

#include <gtest/gtest.h>

#include "engine/xml_routines.h"
#include "support/platform/fakes.h"
#include "xml/xml_document.h"

namespace {

TEST(UtcStamp, ParsesOnlyRealTimesAndFormatsThemBack) {
  struct Case {
    const char* text;
    std::optional<std::time_t> seconds;
  };
  const Case cases[] = {
      {"19700101000000", 0},
      {"20000229235959", 951868799},  // a leap day
      {"20261209120000", 1796817600},
      {"20991231235959", 4102444799},
      {"20230229000000", std::nullopt},  // no leap day that year
      {"20261301000000", std::nullopt},
      {"20261209240000", std::nullopt},
      {"19691231235959", std::nullopt},
      {"2026120912000", std::nullopt},
      {"2026120912000x", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(engine::ParseUtcStamp(c.text), c.seconds);
    if (c.seconds) {
      EXPECT_EQ(engine::FormatUtcStamp(*c.seconds), c.text);
    }
  }
}

TEST(ManifestAge, ReadsTheRootsSerialAndExpiry) {
  const auto age = engine::ReadManifestAge(
      *engine::LoadXmlFromBytes(R"(<data Serial="42" Expires="20261209120000"><ZEPRA/></data>)"));
  EXPECT_EQ(age.serial, 42u);
  EXPECT_EQ(age.expires, 1796817600);
  EXPECT_FALSE(engine::ReadManifestAge(*engine::LoadXmlFromBytes("<data/>")).serial);
  for (const char* bad : {R"(<data Serial="-1"/>)", R"(<data Serial="4 2"/>)", R"(<data Serial="99999999999999999999"/>)",
                          R"(<data Expires="2026-12-09"/>)"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(engine::ReadManifestAge(*engine::LoadXmlFromBytes(bad)), std::runtime_error);
  }
}

TEST(ManifestFreshness, ReplaysFreezesAndExpiries) {
  const std::time_t now = 1796817600;  // 2026-12-09 12:00 UTC
  const engine::AcceptedManifest last{7, "aaaa"};
  struct Case {
    const char* what;
    std::optional<std::uint64_t> serial;
    std::optional<std::time_t> expires;
    bool seenBefore;
    std::string sha256;
    bool accepted;
  };
  const Case cases[] = {
      {"first manifest, no serial", std::nullopt, std::nullopt, false, "bbbb", true},
      {"first manifest with a serial", 3, std::nullopt, false, "bbbb", true},
      {"a higher serial", 8, std::nullopt, true, "bbbb", true},
      {"the same manifest again", 7, std::nullopt, true, "aaaa", true},
      {"the same serial, other bytes", 7, std::nullopt, true, "bbbb", false},
      {"a lower serial (a replay)", 6, std::nullopt, true, "bbbb", false},
      {"no serial after one was seen", std::nullopt, std::nullopt, true, "bbbb", false},
      {"expires in an hour", 8, now + 3600, true, "bbbb", true},
      {"expired within the clock margin", 8, now - 59 * 60, true, "bbbb", true},
      {"expired beyond the margin", 8, now - 61 * 60, true, "bbbb", false},
      {"expired, never seen", std::nullopt, now - 86400, false, "bbbb", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string problem = engine::FreshnessProblem({c.serial, c.expires},
                                                         c.seenBefore ? std::optional(last) : std::nullopt, c.sha256,
                                                         now, 60);
    EXPECT_EQ(problem.empty(), c.accepted) << problem;
  }
}

TEST(ManifestFreshness, WhatWasAcceptedIsKeptPerServer) {
  testing_support::FakeRegistry registry;
  EXPECT_FALSE(engine::ReadAccepted(registry, "srv_80"));
  engine::RememberAccepted(registry, "srv_80", {12, "abcd"});
  const auto kept = engine::ReadAccepted(registry, "srv_80");
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->serial, 12u);
  EXPECT_EQ(kept->sha256, "abcd");
  EXPECT_FALSE(engine::ReadAccepted(registry, "other_80"));
  EXPECT_EQ(engine::ClockMarginMinutes(registry), 60);
  registry.values[{platform::RegistryRoot::LocalMachine, "SOFTWARE\\ZEPRA\\AutoUpdate", "ClockMarginMinutes"}] = "5";
  EXPECT_EQ(engine::ClockMarginMinutes(registry), 5);
}

}  // namespace
