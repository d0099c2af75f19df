// Installing a module from the delta package its manifest entry offers, and
// the full package in the same run whenever the delta does not do.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/hex.h"
#include "delta/delta_index.h"
#include "engine/update_engine.h"
#include "platform/codepage.h"
#include "platform/crypto.h"
#include "platform/file_info.h"
#include "platform/files.h"
#include "support/delta/patch_builder.h"
#include "support/engine/engine_fixture.h"
#include "support/zip/zip_builder.h"

namespace {
using engine_testing::kServer;
using testing_support::ZipBuilder;

std::string Sha(const std::string& bytes) {
  platform::Sha256 hash;
  hash.Update(bytes);
  return base::ToHex(hash.Finish());
}

delta::FileDigest DigestOf(const std::string& bytes) { return {bytes.size(), Sha(bytes)}; }

// A patch from `base` to `result`: the common length as differences, the
// rest of the result as extra bytes.
std::string PatchFor(const std::string& base, const std::string& result) {
  testing_support::PatchParts parts;
  parts.oldSize = base.size();
  parts.newSize = result.size();
  const size_t common = std::min(base.size(), result.size());
  parts.triples.push_back({common, result.size() - common, 0});
  for (size_t i = 0; i < common; ++i) parts.diff += static_cast<char>(result[i] - base[i]);
  parts.extra = result.substr(common);
  return parts.Bytes();
}

constexpr const char* kBase = "a.dll, release 1: the module as installed";
constexpr const char* kResult = "a.dll, release 2: the module with one change, and longer";
constexpr const char* kKept = "k.dll, the same in both releases";
constexpr const char* kNew = "a new file of release 2";

// What is done to the machine, the manifest or the delta before the run.
enum class Twist {
  None,
  BaseReadOnly,          // a.dll is read-only: it gives way all the same
  BaseChangedByHand,     // a.dll is no longer release 1's
  BaseMissing,           // a.dll was deleted: the module is missing, and listed twice
  KeptMissing,           // an unchanged file was deleted
  KeptChangedByHand,     // an unchanged file differs
  DeltaDamaged,          // the delta's bytes are not the published ones
  DeltaMissing,          // the server has no delta package
  OtherRecordedVersion,  // the machine records another version than DeltaFrom
  ResultDigestWrong,     // the index's result digest does not match the patch's result
  PatchBroken,           // the patch entry is no patch
  NoIndex,               // the delta package has no index
  NotAZip,               // the delta package, as published, is no zip archive
  DeltaSizeInvalid,      // DeltaSize is no byte count
};

struct Case {
  Twist twist;
  bool deltaFetched;  // the delta package was asked for
  const char* how;    // the trace's a.dll.安装方式 value
};

class DeltaRun : public engine_testing::EngineRun<engine_testing::NoNotices> {
 protected:
  // Serves one entry of application ZEPRA offering the delta `deltaBytes`
  // from version 1 beside its full package, and records version 1.
  void ServeEntry(const std::string& name, const std::string& full, const std::string& deltaBytes,
                  const std::string& deltaSize, const std::string& recorded = "1") {
    ServeManifest(std::string("<?xml version=\"1.0\" encoding=\"GB2312\"?><data><ZEPRA><") + name +
                  " Version=\"2\" FileName=\"" + FileStem(name) + ".zip\" IsReplace=\"1\" SHA256=\"" + Sha(full) +
                  "\" Size=\"" + std::to_string(full.size()) + "\" DeltaFileName=\"" + FileStem(name) +
                  ".delta.zip\" DeltaFrom=\"1\" DeltaSHA256=\"" + Sha(deltaBytes) + "\" DeltaSize=\"" + deltaSize +
                  "\"/></ZEPRA></data>");
    UseLocalConfig("<?xml version=\"1.0\" encoding=\"GB2312\"?><data><ZEPRA><" + name + " version=\"" + recorded +
                   "\"/></ZEPRA></data>");
    web.Serve(std::string(kServer) + "clientfile/" + FileStem(name) + ".zip", full);
  }
  static std::string FileStem(const std::string& name) { return name.substr(0, name.find('.')); }
  bool Requested(const std::string& name) const {
    const std::string url = std::string(kServer) + "clientfile/" + name;
    return std::count(web.requested.begin(), web.requested.end(), url) > 0;
  }
  // The value of a trace key, as text; "<none>" when it was never written.
  std::string TraceValue(const std::string& key) const {
    const std::string text = platform::AnsiToUtf8(ReadAppFile("debug.ini"));
    const size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos) return "<none>";
    const size_t begin = at + key.size() + 2;
    return text.substr(begin, text.find_first_of("\r\n", begin) - begin);
  }
};

class DeltaInstall : public DeltaRun, public ::testing::WithParamInterface<Case> {
 protected:
  std::string DeltaPackage(Twist twist) const {
    std::vector<delta::DeltaFile> index = {
        {"a.dll", delta::DeltaAction::Patched, DigestOf(kBase), DigestOf(kResult), "patch/1"},
        {"k.dll", delta::DeltaAction::Unchanged, DigestOf(kKept), DigestOf(kKept), ""},
        {"sub/n.txt", delta::DeltaAction::New, std::nullopt, DigestOf(kNew), "new/2"},
        {"gone.dll", delta::DeltaAction::Removed, DigestOf("old"), std::nullopt, ""},
    };
    if (twist == Twist::ResultDigestWrong) index[0].result = DigestOf(std::string(kResult) + "!");
    if (twist == Twist::NotAZip) return "PK\x03\x04 cut short";
    ZipBuilder zip;
    if (twist != Twist::NoIndex) zip.File("delta-index.txt", delta::FormatDeltaIndex(index));
    zip.File("patch/1", twist == Twist::PatchBroken ? std::string("no patch") : PatchFor(kBase, kResult));
    zip.File("new/2", kNew);
    return zip.Bytes();
  }

  void Prepare(Twist twist) {
    const std::string deltaBytes = DeltaPackage(twist);
    const std::string full = ZipBuilder().File("a.dll", kResult).File("sub/n.txt", kNew).Bytes();
    const std::string size = twist == Twist::DeltaSizeInvalid ? "many" : std::to_string(deltaBytes.size());
    ServeEntry("a.dll", full, deltaBytes, size, twist == Twist::OtherRecordedVersion ? "0" : "1");
    if (twist != Twist::DeltaMissing) {
      web.Serve(std::string(kServer) + "clientfile/a.delta.zip",
                twist == Twist::DeltaDamaged ? deltaBytes.substr(0, deltaBytes.size() - 1) + "?" : deltaBytes);
    }
    WriteAppFile("a.dll", twist == Twist::BaseChangedByHand ? "a.dll, patched by hand" : kBase);
    if (twist == Twist::BaseMissing) platform::RemoveFile(AppPath("a.dll"));
    WriteAppFile("k.dll", twist == Twist::KeptChangedByHand ? "k.dll, changed" : kKept);
    if (twist == Twist::KeptMissing) platform::RemoveFile(AppPath("k.dll"));
    WriteAppFile("gone.dll", "old");
    if (twist == Twist::BaseReadOnly) platform::SetFileAttributeBits(AppPath("a.dll"), platform::FileAttrReadOnly);
    // What a run killed while it applied a delta left behind.
    box.mkdirs("ProgramData\\ZEPRA\\AutoUpdate\\delta\\patch");
    box.write("ProgramData\\ZEPRA\\AutoUpdate\\delta\\patch\\1", "left over");
  }
};

TEST_P(DeltaInstall, InstallsTheReleaseFromTheDeltaOrTheFullPackage) {
  const Case& c = GetParam();
  Prepare(c.twist);
  auto engine = MakeEngine();
  ASSERT_TRUE(engine->CheckForUpdates("ZEPRA"));
  ASSERT_TRUE(engine->Install());
  // Either way the machine holds release 2, recorded.
  EXPECT_EQ(ReadAppFile("a.dll"), kResult);
  EXPECT_EQ(ReadAppFile("sub\\n.txt"), kNew);
  if (c.twist != Twist::KeptMissing) {
    EXPECT_EQ(ReadAppFile("k.dll"), c.twist == Twist::KeptChangedByHand ? "k.dll, changed" : kKept);
  }
  EXPECT_EQ(ReadAppFile("gone.dll"), "old");  // as the full package leaves it
  const std::string config = ReadAppFile(engine_testing::kConfigName);
  EXPECT_NE(config.find("version=\"2\""), std::string::npos) << config;
  // The full package is fetched exactly when the delta did not do.
  const bool fromDelta = std::string(c.how) == "差异包";
  EXPECT_EQ(Requested("a.delta.zip"), c.deltaFetched);
  EXPECT_EQ(Requested("a.zip"), !fromDelta);
  // The trace says how, and why not the delta (the reason's start given).
  EXPECT_EQ(TraceValue("a.dll.安装方式").rfind(c.how, 0), 0u) << TraceValue("a.dll.安装方式");
  // Nothing of a delta that was not used stays; no work files stay.
  EXPECT_EQ(platform::FileExists(Staged("a.delta.zip")), fromDelta);
  EXPECT_FALSE(platform::DirectoryExists(PrivatePath("delta")));
  EXPECT_FALSE(platform::FileExists(AppPath("a.dll.~delta")));
  EXPECT_FALSE(platform::FileExists(AppPath("sub\\n.txt.~delta")));
  EXPECT_FALSE(platform::FileExists(engine->JournalPath()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeltaInstall,
    ::testing::Values(
        Case{Twist::None, true, "差异包"},
        Case{Twist::BaseReadOnly, true, "差异包"},
        Case{Twist::BaseChangedByHand, true, "完整包：本机的“a.dll”不是差异包的起始版本"},
        Case{Twist::BaseMissing, false, "完整包：模块在更新列表中出现不止一次"},
        Case{Twist::KeptMissing, true, "完整包：本机没有文件“k.dll”"},
        Case{Twist::KeptChangedByHand, true, "完整包：本机的“k.dll”不是差异包的起始版本"},
        Case{Twist::DeltaDamaged, true, "完整包：文件校验值不符：更新说明的 SHA256 为 "},
        Case{Twist::DeltaMissing, true, "完整包：文件大小不符："},
        Case{Twist::OtherRecordedVersion, false, "完整包：本机记录的版本“0”不是差异包的起始版本“1”"},
        Case{Twist::ResultDigestWrong, true, "完整包：“a.dll”的结果与差异包的索引不符"},
        Case{Twist::PatchBroken, true, "完整包："},
        Case{Twist::NoIndex, true, "完整包：差异包中没有索引"},
        Case{Twist::NotAZip, true, "完整包：差异包已损坏或不是 zip 文件（"},
        Case{Twist::DeltaSizeInvalid, false,
             "完整包：更新说明中差异包的 DeltaFrom、DeltaSHA256 或 DeltaSize 无效"}));

// A folder module's index names its files below the folder, as its full
// package does; they are patched where the full package would put them.
TEST_F(DeltaRun, AFolderModulesFilesArePatchedInTheirFolder) {
  const std::string base = "reports/daily.rpt of release 1";
  const std::string result = "reports/daily.rpt of release 2, one line longer";
  const std::vector<delta::DeltaFile> index = {
      {"reports/daily.rpt", delta::DeltaAction::Patched, DigestOf(base), DigestOf(result), "p/1"},
      {"reports/same.rpt", delta::DeltaAction::Unchanged, DigestOf(kKept), DigestOf(kKept), ""}};
  const std::string deltaBytes =
      ZipBuilder().File("delta-index.txt", delta::FormatDeltaIndex(index)).File("p/1", PatchFor(base, result)).Bytes();
  ServeEntry("reports", ZipBuilder().File("reports/daily.rpt", result).File("reports/same.rpt", kKept).Bytes(),
             deltaBytes, std::to_string(deltaBytes.size()));
  web.Serve(std::string(kServer) + "clientfile/reports.delta.zip", deltaBytes);
  box.mkdirs(AppFile("reports\\"));
  WriteAppFile("reports\\daily.rpt", base);
  WriteAppFile("reports\\same.rpt", kKept);
  auto engine = MakeEngine();
  ASSERT_TRUE(engine->CheckForUpdates("ZEPRA"));
  ASSERT_TRUE(engine->Install());
  EXPECT_EQ(ReadAppFile("reports\\daily.rpt"), result);
  EXPECT_EQ(TraceValue("reports.安装方式"), "差异包");
  EXPECT_FALSE(Requested("reports.zip"));
  EXPECT_FALSE(platform::FileExists(AppPath("reports\\daily.rpt.~delta")));
}

}  // namespace
