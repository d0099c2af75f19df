#include "engine/delta_offer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kDigest(64, 'a');

engine::ManifestEntry Offering() {
  engine::ManifestEntry e;
  e.name = "a.dll";
  e.fileName = "a.zip";
  e.replace = true;
  e.version = "3";
  e.deltaFileName = "a.delta.zip";
  e.deltaFrom = "2";
  e.deltaSha256 = kDigest;
  e.deltaSize = "120";
  return e;
}

TEST(DeltaOffer, TriedOnlyForAnOrdinaryReplacingModuleFromTheRecordedVersion) {
  struct Case {
    void (*change)(engine::ManifestEntry&);
    const char* recorded;  // null: none recorded
    const char* why;
  } cases[] = {
      {[](engine::ManifestEntry&) {}, "2", ""},
      {[](engine::ManifestEntry& e) { e.deltaSha256 = std::string(64, 'F'); }, "2", ""},
      {[](engine::ManifestEntry& e) { e.setupPath = "#System32"; }, "2", ""},
      {[](engine::ManifestEntry&) {}, "1", "本机记录的版本“1”不是差异包的起始版本“2”"},
      {[](engine::ManifestEntry&) {}, "2.0", "本机记录的版本“2.0”不是差异包的起始版本“2”"},
      {[](engine::ManifestEntry&) {}, nullptr, "本机没有记录此模块的版本"},
      {[](engine::ManifestEntry& e) { e.setupPath = "#BDE"; }, "2", "数据库引擎的包不用差异包"},
      {[](engine::ManifestEntry& e) { e.replace = false; }, "2", "不替换已有文件的模块不用差异包"},
      {[](engine::ManifestEntry& e) { e.deltaFrom.clear(); }, "",
       "更新说明中差异包的 DeltaFrom、DeltaSHA256 或 DeltaSize 无效"},
      {[](engine::ManifestEntry& e) { e.deltaSha256 = kDigest.substr(1); }, "2",
       "更新说明中差异包的 DeltaFrom、DeltaSHA256 或 DeltaSize 无效"},
      {[](engine::ManifestEntry& e) { e.deltaSha256 = std::string(63, 'a') + "g"; }, "2",
       "更新说明中差异包的 DeltaFrom、DeltaSHA256 或 DeltaSize 无效"},
      {[](engine::ManifestEntry& e) { e.deltaSize = "-1"; }, "2",
       "更新说明中差异包的 DeltaFrom、DeltaSHA256 或 DeltaSize 无效"},
      {[](engine::ManifestEntry& e) { e.deltaSize.clear(); }, "2",
       "更新说明中差异包的 DeltaFrom、DeltaSHA256 或 DeltaSize 无效"},
  };
  for (const Case& c : cases) {
    engine::ManifestEntry e = Offering();
    c.change(e);
    const std::string recorded = c.recorded ? c.recorded : "";
    EXPECT_EQ(engine::WhyDeltaNotTried(e, c.recorded ? &recorded : nullptr), c.why) << c.why;
  }
}

TEST(DeltaOffer, OfferedByItsFileNameAndFetchedAsAPackageOfItsOwn) {
  engine::ManifestEntry e = Offering();
  EXPECT_TRUE(engine::OffersDelta(e));
  const engine::ManifestEntry package = engine::DeltaPackageEntry(e);
  EXPECT_EQ(package.name, "a.dll.差异包");
  EXPECT_EQ(package.fileName, "a.delta.zip");
  EXPECT_EQ(package.sha256, kDigest);
  EXPECT_EQ(package.size, "120");
  EXPECT_FALSE(engine::OffersDelta(package));
  e.deltaFileName.clear();
  EXPECT_FALSE(engine::OffersDelta(e));
}

TEST(DeltaOffer, AnEntryListedTwiceByNameOrPackageInAnyLetterCase) {
  const std::pair<const char*, const char*> listed[] = {
      {"a.dll", "a.zip"}, {"b.dll", "B.ZIP"}, {"A.DLL", "c.zip"}, {"d.dll", "b.zip"},
      {"e.dll", "e.zip"}, {"e.zip", "e.dll"},  // a name is never taken for a package
  };
  std::vector<std::shared_ptr<const engine::ManifestEntry>> entries;
  for (const auto& [name, fileName] : listed) {
    auto e = std::make_shared<engine::ManifestEntry>(Offering());
    e->name = name;
    e->fileName = fileName;
    entries.push_back(std::move(e));
  }
  EXPECT_EQ(engine::ListedTwice(entries), (std::vector<bool>{true, true, true, true, false, false}));
}

}  // namespace
