// Delta packages from `au-publish build`, checked by `au-publish verify`
// and kept by `au-publish prune`.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <regex>

#include "delta/delta_index.h"
#include "platform/files.h"
#include "platform/signing_key.h"
#include "publish/delta_package.h"
#include "publish/history.h"
#include "publish/manifest.h"
#include "publish/package.h"
#include "publish/publisher.h"
#include "publish/unpacked_package.h"
#include "publish/verifier.h"
#include "support/base/test_paths.h"

namespace {
namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
  fs::last_write_time(path, fs::file_time_type(std::chrono::hours(24 * 365 * 55)));
}

std::string Read(const fs::path& path) { return platform::ReadWholeFile(path.string()).value_or(""); }

std::string Incompressible(std::size_t size, unsigned variant) {
  std::mt19937 random(variant);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(random());
  return out;
}

class DeltaPublish : public ::testing::Test {
 public:
  void SetUp() override {
    ::setenv("AUTOUPDATE_ANSI_CODESET", "GBK", 1);
    fs::create_directories(server);
    key.emplace(platform::SigningKey::Generate());
    Write(keyPath, key->PrivatePem());
    big = Incompressible(64 * 1024, 1);
    Write(release / "a.dll", "a 1");
    Write(release / "reports" / "big.bin", big);
    Write(release / "reports" / "same.txt", "same");
    Write(release / "reports" / "报表" / "gone.txt", "gone");
    publish::Build(Options("1"));
    fs::remove(release / "reports" / "报表" / "gone.txt");
    big[1000] = 'x';
    big[40000] = 'y';
    Write(release / "reports" / "big.bin", big);
    Write(release / "reports" / "报表" / "new.txt", "new");
    Write(release / "a.dll", "a 2");
    reports = publish::Build(Options("2"));
  }

  publish::BuildOptions Options(const std::string& version) const {
    return {release.string(), server.string(), "ZEPRA", keyPath.string(), std::nullopt, version, 0, {}, {}, {}};
  }

  std::map<std::string, std::string> Entry(const std::string& module) const {
    const auto doc = publish::ParseManifest(Read(server / "AutoUpdateIniS.xml"));
    std::map<std::string, std::string> out;
    for (const xml::XmlNode* e : doc->SelectSingleNode("data/ZEPRA")->childNodes()) {
      if (e->nodeName() != module) continue;
      for (size_t i = 0; i < e->attributes().length(); ++i) {
        out[e->attributes().item(i)->nodeName()] = e->attributes().item(i)->nodeValue();
      }
    }
    return out;
  }

  fs::path DeltaPath() const { return server / "clientfile" / Entry("reports")["DeltaFileName"]; }

  int Problems(bool withKey) const {
    const publish::VerifyReport report =
        publish::Verify(server.string(), withKey ? std::optional(key->PublicPem()) : std::nullopt);
    for (const std::string& line : report.lines) {
      if (line.rfind("错误", 0) == 0) std::cerr << line << "\n";
    }
    return report.problems;
  }

  // The manifest with the delta's digest attributes set to this file's.
  void RecordDigestOf(const fs::path& path) {
    const publish::PackageDigest digest = publish::HashFile(path.string());
    std::string manifest = Read(server / "AutoUpdateIniS.xml");
    const auto entry = Entry("reports");
    manifest.replace(manifest.find(entry.at("DeltaSHA256")), 64, digest.sha256);
    const std::string size = "DeltaSize=\"" + entry.at("DeltaSize") + "\"";
    manifest.replace(manifest.find(size), size.size(), "DeltaSize=\"" + std::to_string(digest.size) + "\"");
    Write(server / "AutoUpdateIniS.xml", manifest);
  }

  testing_support::TempDir dir;
  fs::path release = fs::path(dir.path()) / "release";
  fs::path server = fs::path(dir.path()) / "server";
  fs::path keyPath = fs::path(dir.path()) / "publisher.pem";
  std::optional<platform::SigningKey> key;
  std::string big;
  std::vector<publish::ModuleReport> reports;
};

TEST_F(DeltaPublish, ChangedModuleGetsADeltaInTheSignedManifest) {
  const auto entry = Entry("reports");
  EXPECT_EQ(entry.at("Version"), "2");
  EXPECT_EQ(entry.at("DeltaFrom"), "1");
  EXPECT_TRUE(std::regex_match(entry.at("DeltaFileName"), std::regex("reports\\.[0-9a-f]{16}-[0-9a-f]{16}\\.delta\\.zip")))
      << entry.at("DeltaFileName");
  const publish::PackageDigest digest = publish::HashFile(DeltaPath().string());
  EXPECT_EQ(entry.at("DeltaSHA256"), digest.sha256);
  EXPECT_EQ(entry.at("DeltaSize"), std::to_string(digest.size));
  EXPECT_LT(digest.size * 2, std::stoull(entry.at("Size")));
  EXPECT_EQ(entry.at("DeltaFileName").find(entry.at("DeltaSHA256").substr(0, 16)), 25u);
  EXPECT_TRUE(fs::is_regular_file(server / "clientfile" / entry.at("FileName")));
  // A small module whose delta would not pay gets none.
  EXPECT_EQ(Entry("a.dll").count("DeltaFileName"), 0u);
  EXPECT_EQ(Problems(true), 0);
  const std::string table = publish::ChangeTable(reports);
  EXPECT_NE(table.find("reports  1 -> 2  差异包 " + entry.at("DeltaFileName") + "\n"), std::string::npos) << table;
  EXPECT_NE(table.find("a.dll  1 -> 2\n"), std::string::npos) << table;
}

TEST_F(DeltaPublish, NoDeltaFromAPreviousPackageThatIsNotAsPublished) {
  const fs::path previous = server / "clientfile" / Entry("reports")["FileName"];
  std::string bytes = Read(previous);
  bytes[bytes.size() / 2] ^= 1;
  Write(previous, bytes);
  big[3000] = 'w';
  Write(release / "reports" / "big.bin", big);
  publish::Build(Options("3"));
  EXPECT_EQ(Entry("reports").at("Version"), "3");
  EXPECT_EQ(Entry("reports").count("DeltaFileName"), 0u);
}

TEST_F(DeltaPublish, IndexSaysWhatBecomesOfEachFile) {
  const fs::path unpacked = fs::path(dir.path()) / "unpacked";
  publish::UnpackPackage(DeltaPath().string(), unpacked.string());
  std::map<std::string, delta::DeltaAction> actions;
  for (const auto& file : delta::ParseDeltaIndex(Read(unpacked / "delta-index.txt"))) {
    actions[file.path] = file.action;
    if (file.action == delta::DeltaAction::Patched) {
      EXPECT_LT(fs::file_size(unpacked / file.entry), 1000u) << file.path;
    }
  }
  EXPECT_EQ(actions, (std::map<std::string, delta::DeltaAction>{
                         {"reports/big.bin", delta::DeltaAction::Patched},
                         {"reports/same.txt", delta::DeltaAction::Unchanged},
                         {"reports/报表/gone.txt", delta::DeltaAction::Removed},
                         {"reports/报表/new.txt", delta::DeltaAction::New}}));
}

TEST_F(DeltaPublish, VerifyFindsADamagedDelta) {
  std::string bytes = Read(DeltaPath());
  bytes[bytes.size() / 2] ^= 1;
  Write(DeltaPath(), bytes);
  EXPECT_EQ(Problems(false), 1);
}

TEST_F(DeltaPublish, VerifyFindsADeltaFromTheWrongBase) {
  // A well-formed delta with matching digests, made against a big.bin
  // one byte off the released one.
  const fs::path other = fs::path(dir.path()) / "other";
  std::string otherBig = Incompressible(64 * 1024, 1);
  otherBig[5000] = 'q';
  Write(other / "reports" / "big.bin", otherBig);
  Write(other / "reports" / "same.txt", "same");
  publish::ReleaseModule module{"reports", true, {}};
  for (const char* name : {"reports/", "reports/big.bin", "reports/same.txt", "reports/报表/", "reports/报表/new.txt"}) {
    const std::string n = name;
    module.files.push_back({n, n.back() == '/' ? "" : (release / n).string()});
  }
  fs::create_directories(fs::path(dir.path()) / "work");
  publish::WriteDeltaPackage(publish::FilesBelow(other.string()), module, DeltaPath().string(),
                             (fs::path(dir.path()) / "work").string());
  RecordDigestOf(DeltaPath());
  const publish::VerifyReport report = publish::Verify(server.string(), std::nullopt);
  EXPECT_EQ(report.problems, 1);
  bool named = false;
  for (const std::string& line : report.lines) named = named || line.find("差异包：reports/big.bin") != std::string::npos;
  EXPECT_TRUE(named);
}

TEST_F(DeltaPublish, PruneKeepsTheDeltaAKeptManifestNames) {
  const fs::path delta = DeltaPath();
  publish::Prune(server.string(), 0);
  EXPECT_TRUE(fs::is_regular_file(delta));
  // Once a third release names another delta, the older one goes.
  big[2000] = 'z';
  Write(release / "reports" / "big.bin", big);
  publish::Build(Options("3"));
  EXPECT_NE(DeltaPath(), delta);
  publish::Prune(server.string(), 0);
  EXPECT_FALSE(fs::exists(delta));
  EXPECT_TRUE(fs::is_regular_file(DeltaPath()));
  // Its base went with the history: verify says it cannot check the delta.
  const publish::VerifyReport report = publish::Verify(server.string(), key->PublicPem());
  EXPECT_EQ(report.problems, 0);
  bool noted = false;
  for (const std::string& line : report.lines) noted = noted || line.find("提示  ZEPRA/reports") == 0;
  EXPECT_TRUE(noted);
}

}  // namespace
