#include "engine/rollout.h"

#include <gtest/gtest.h>

#include "engine/manifest_entry.h"

namespace {

TEST(RolloutBucket, MatchesTheDocumentedHash) {
  // Expected values from an independent computation:
  //   int.from_bytes(hashlib.sha256(f"{guid}/{name}/{version}".encode()).digest()[:4], "big") % 100
  struct Case {
    const char* guid;
    const char* name;
    const char* version;
    int bucket;
  } cases[] = {
      {"4c4c4544-0042-3510-8052-b4c04f4e4d32", "a.dll", "2", 43},  // digest 22984fcb...
      {"4c4c4544-0042-3510-8052-b4c04f4e4d32", "a.dll", "3", 63},  // a new release, a new draw
      {"00000000-0000-0000-0000-000000000000", "ZEPRA.exe", "20261209120000", 43},
      {"", "", "", 82},
      {"c1d2e3f4-1111-2222-3333-444455556666", "报表", "1.0", 60},  // UTF-8 names
      {"C1D2E3F4-1111-2222-3333-444455556666", "报表", "1.0", 47},  // the GUID as stored, case and all
      {"11111111-2222-3333-4444-000000000002", "a.dll", "2", 88},
      {"11111111-2222-3333-4444-000000000003", "a.dll", "2", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.guid) + "/" + c.name + "/" + c.version);
    EXPECT_EQ(engine::RolloutBucket(c.guid, c.name, c.version), c.bucket);
  }
}

TEST(RolloutPercent, WholeNumbersUpToAHundredOnly) {
  struct Case {
    const char* text;
    std::optional<int> percent;
  } cases[] = {
      {"0", 0},           {"50", 50},          {"100", 100},        {"050", 50},
      {"7", 7},           {"101", std::nullopt}, {"", std::nullopt}, {"-1", std::nullopt},
      {" 50", std::nullopt}, {"50%", std::nullopt}, {"12.5", std::nullopt}, {"1000", std::nullopt},
      {"abc", std::nullopt}, {"+5", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(engine::ParseRolloutPercent(c.text), c.percent);
  }
}

TEST(RolloutRing, EarlyAndHoldElseNormal) {
  EXPECT_EQ(engine::ParseRolloutRing(std::nullopt), engine::RolloutRing::Normal);
  EXPECT_EQ(engine::ParseRolloutRing("early"), engine::RolloutRing::Early);
  EXPECT_EQ(engine::ParseRolloutRing("Early"), engine::RolloutRing::Early);
  EXPECT_EQ(engine::ParseRolloutRing("hold"), engine::RolloutRing::Hold);
  EXPECT_EQ(engine::ParseRolloutRing("HOLD"), engine::RolloutRing::Hold);
  EXPECT_EQ(engine::ParseRolloutRing(""), engine::RolloutRing::Normal);
  EXPECT_EQ(engine::ParseRolloutRing("later"), engine::RolloutRing::Normal);
}

TEST(RolloutDecision, BucketRingAndGuid) {
  constexpr const char* kIn = "11111111-2222-3333-4444-000000000003";   // a.dll 2: bucket 1
  constexpr const char* kOut = "11111111-2222-3333-4444-000000000002";  // a.dll 2: bucket 88
  using engine::RolloutRing;
  struct Case {
    const char* name;
    std::optional<std::string> rollout;
    std::optional<std::string> guid;
    RolloutRing ring;
    bool takes;
    const char* note;
  } cases[] = {
      {"absent", std::nullopt, kOut, RolloutRing::Normal, true, ""},
      {"100", "100", kOut, RolloutRing::Normal, true, ""},
      {"bucket below", "50", kIn, RolloutRing::Normal, true, ""},
      {"bucket above", "50", kOut, RolloutRing::Normal, false, "未轮到：桶 88，比例 50%"},
      {"bucket equal", "88", kOut, RolloutRing::Normal, false, "未轮到：桶 88，比例 88%"},
      {"bucket one below", "89", kOut, RolloutRing::Normal, true, ""},
      {"0 takes nobody", "0", kIn, RolloutRing::Normal, false, "未轮到：桶 1，比例 0%"},
      {"junk is 100", "half", kOut, RolloutRing::Normal, true, "比例“half”无效，按 100% 处理"},
      {"empty is junk", "", kOut, RolloutRing::Normal, true, "比例“”无效，按 100% 处理"},
      {"no guid", "50", std::nullopt, RolloutRing::Normal, false, "未轮到：没有 MachineGuid，比例 50%"},
      {"no guid at 100", "100", std::nullopt, RolloutRing::Normal, true, ""},
      {"early", "0", kOut, RolloutRing::Early, true, ""},
      {"early without guid", "10", std::nullopt, RolloutRing::Early, true, ""},
      {"hold", "99", kIn, RolloutRing::Hold, false, "本机暂缓（RolloutRing=hold）：比例 99%"},
      {"hold at 100", "100", kIn, RolloutRing::Hold, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    engine::ManifestEntry entry;
    entry.name = "a.dll";
    entry.version = "2";
    entry.rollout = c.rollout;
    const engine::RolloutDecision d = engine::DecideRollout({c.guid, c.ring}, entry);
    EXPECT_EQ(d.takes, c.takes);
    EXPECT_EQ(d.note, c.note);
  }
}

}  // namespace
