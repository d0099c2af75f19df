#include "delta/delta_index.h"

#include <gtest/gtest.h>

#include "delta/plain_name.h"

namespace {

using delta::DeltaAction;
using delta::DeltaFile;

const std::string kShaA(64, 'a');
const std::string kShaB = std::string(63, '0') + "F";

std::string Index(const std::string& lines) { return std::string(delta::kIndexFirstLine) + "\n" + lines; }

TEST(DeltaIndex, FormattedIndexReadsBack) {
  const std::vector<DeltaFile> files = {
      {"Bin/a.dll", DeltaAction::Patched, delta::FileDigest{10, kShaA}, delta::FileDigest{12, std::string(64, 'b')},
       "patch/1"},
      {"Bin/报表.dll", DeltaAction::New, std::nullopt, delta::FileDigest{0, std::string(64, 'c')}, "new/2"},
      {"Bin/old.txt", DeltaAction::Removed, delta::FileDigest{5, kShaA}, std::nullopt, ""},
      {"Bin/same.txt", DeltaAction::Unchanged, delta::FileDigest{5, kShaA}, delta::FileDigest{5, kShaA}, ""},
  };
  EXPECT_EQ(delta::ParseDeltaIndex(delta::FormatDeltaIndex(files)), files);
}

TEST(DeltaIndex, DigestsAreLowerCased) {
  const auto files = delta::ParseDeltaIndex(Index("removed\ta\t1\t" + kShaB + "\t-\t-\t-\n"));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].base->sha256, std::string(63, '0') + "f");
  EXPECT_EQ(files[0].base->size, 1u);
}

struct LineCase {
  const char* what;
  std::string line;
  bool valid;
};

TEST(DeltaIndex, LineRules) {
  const std::string d = "10\t" + kShaA;
  const std::vector<LineCase> cases = {
      {"patched", "patched\ta.dll\t" + d + "\t" + d + "\tp/1", true},
      {"new", "new\tdir/a.dll\t-\t-\t" + d + "\tn/1", true},
      {"removed", "removed\ta.dll\t" + d + "\t-\t-\t-", true},
      {"unchanged", "unchanged\ta.dll\t" + d + "\t" + d + "\t-", true},
      {"zero size", "removed\ta.dll\t0\t" + kShaA + "\t-\t-\t-", true},
      {"unknown action", "copied\ta.dll\t" + d + "\t" + d + "\tp/1", false},
      {"action in capitals", "PATCHED\ta.dll\t" + d + "\t" + d + "\tp/1", false},
      {"too few fields", "removed\ta.dll\t" + d + "\t-\t-", false},
      {"too many fields", "removed\ta.dll\t" + d + "\t-\t-\t-\t-", false},
      {"patched without entry", "patched\ta.dll\t" + d + "\t" + d + "\t-", false},
      {"patched without base", "patched\ta.dll\t-\t-\t" + d + "\tp/1", false},
      {"new with base", "new\ta.dll\t" + d + "\t" + d + "\tn/1", false},
      {"removed with result", "removed\ta.dll\t" + d + "\t" + d + "\t-", false},
      {"removed with entry", "removed\ta.dll\t" + d + "\t-\t-\tp/1", false},
      {"unchanged with entry", "unchanged\ta.dll\t" + d + "\t" + d + "\tp/1", false},
      {"unchanged but different", "unchanged\ta.dll\t" + d + "\t11\t" + kShaA + "\t-", false},
      {"half a digest", "removed\ta.dll\t10\t-\t-\t-\t-", false},
      {"negative size", "removed\ta.dll\t-1\t" + kShaA + "\t-\t-\t-", false},
      {"size with sign", "removed\ta.dll\t+1\t" + kShaA + "\t-\t-\t-", false},
      {"size with leading zero", "removed\ta.dll\t010\t" + kShaA + "\t-\t-\t-", false},
      {"hex size", "removed\ta.dll\t0x10\t" + kShaA + "\t-\t-\t-", false},
      {"size too long", "removed\ta.dll\t99999999999999999999\t" + kShaA + "\t-\t-\t-", false},
      {"short digest", "removed\ta.dll\t1\t" + kShaA.substr(1) + "\t-\t-\t-", false},
      {"long digest", "removed\ta.dll\t1\t" + kShaA + "a\t-\t-\t-", false},
      {"digest not hex", "removed\ta.dll\t1\t" + std::string(63, 'a') + "g\t-\t-\t-", false},
      {"parent folder", "removed\t../a.dll\t" + d + "\t-\t-\t-", false},
      {"parent inside", "removed\tdir/../../a.dll\t" + d + "\t-\t-\t-", false},
      {"current folder", "removed\t./a.dll\t" + d + "\t-\t-\t-", false},
      {"absolute", "removed\t/a.dll\t" + d + "\t-\t-\t-", false},
      {"drive", "removed\tC:/a.dll\t" + d + "\t-\t-\t-", false},
      {"stream", "removed\ta.dll:x\t" + d + "\t-\t-\t-", false},
      {"backslash", "removed\tdir\\a.dll\t" + d + "\t-\t-\t-", false},
      {"empty part", "removed\tdir//a.dll\t" + d + "\t-\t-\t-", false},
      {"trailing slash", "removed\tdir/\t" + d + "\t-\t-\t-", false},
      {"empty path", "removed\t\t" + d + "\t-\t-\t-", false},
      {"dots only", "removed\tdir/.../a.dll\t" + d + "\t-\t-\t-", false},
      {"blank part", "removed\t /a.dll\t" + d + "\t-\t-\t-", false},
      {"device", "removed\tdir/NUL\t" + d + "\t-\t-\t-", false},
      {"device with extension", "removed\tcon.txt\t" + d + "\t-\t-\t-", false},
      {"leading dots", "removed\t....txt\t" + d + "\t-\t-\t-", true},
      {"wildcard", "removed\ta*.dll\t" + d + "\t-\t-\t-", false},
      {"carriage return", "removed\ta.dll\t" + d + "\t-\t-\t-\r", false},
      {"entry climbing out", "new\ta.dll\t-\t-\t" + d + "\t../n", false},
      {"blank line", "", false},
  };
  for (const LineCase& c : cases) {
    bool parsed = true;
    try {
      delta::ParseDeltaIndex(Index(c.line + "\n"));
    } catch (const delta::DeltaIndexError&) {
      parsed = false;
    }
    EXPECT_EQ(parsed, c.valid) << c.what;
  }
}

TEST(DeltaIndex, WholeFileRules) {
  const std::string removed = "removed\tA.dll\t1\t" + kShaA + "\t-\t-\t-\n";
  const std::string removedLower = "removed\ta.dll\t1\t" + kShaA + "\t-\t-\t-\n";
  const std::string newFile = "new\tb.dll\t-\t-\t1\t" + kShaA + "\tn/1\n";
  const std::string otherNew = "new\tc.dll\t-\t-\t1\t" + kShaA + "\tn/1\n";
  EXPECT_NO_THROW(delta::ParseDeltaIndex(Index("")));
  EXPECT_NO_THROW(delta::ParseDeltaIndex(Index(removed + newFile)));
  EXPECT_THROW(delta::ParseDeltaIndex(Index(removed + removedLower)), delta::DeltaIndexError);
  EXPECT_THROW(delta::ParseDeltaIndex(Index(newFile + otherNew)), delta::DeltaIndexError);
  EXPECT_THROW(delta::ParseDeltaIndex(""), delta::DeltaIndexError);
  EXPECT_THROW(delta::ParseDeltaIndex("AU-DELTA-INDEX 2\n"), delta::DeltaIndexError);
  EXPECT_THROW(delta::ParseDeltaIndex(Index(removed).substr(0, Index(removed).size() - 1)), delta::DeltaIndexError);
  EXPECT_THROW(delta::ParseDeltaIndex(Index(std::string(delta::kMaxIndexBytes, '\n'))), delta::DeltaIndexError);
}

TEST(DeltaIndex, ErrorNamesTheLine) {
  try {
    delta::ParseDeltaIndex(Index("removed\ta.dll\t1\t" + kShaA + "\t-\t-\t-\nremoved\t..\t1\t" + kShaA + "\t-\t-\t-\n"));
    FAIL() << "accepted";
  } catch (const delta::DeltaIndexError& e) {
    EXPECT_NE(std::string(e.what()).find("第 3 行"), std::string::npos) << e.what();
  }
}

TEST(PlainRelativeName, LengthLimit) {
  EXPECT_TRUE(delta::IsPlainRelativeName(std::string(1024, 'a')));
  EXPECT_FALSE(delta::IsPlainRelativeName(std::string(1025, 'a')));
}

}  // namespace
