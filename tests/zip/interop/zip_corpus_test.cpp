// The peer corpus of edge-case archives: each one read and extracted the way
// the updater does it, with no crash, no write outside the destination, and
// byte-identical output for every file that unzip or bsdtar extract too.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "interop_support.h"
#include "platform/files.h"
#include "support/base/test_paths.h"
#include "support/zip/unzip_fixture.h"

namespace zip {
namespace {

using ziptest::DataDir;
using ziptest::FilesBelow;
using ziptest::Join;

struct Expected {
  int entries;       // entries read (-1: the archive is refused)
  int extracted;     // entries written (-1: the run raises)
  std::string error; // what() of the raised error
};

// What each archive must come to, by the rules of the reader (see the notes
// beside each one).
const std::map<std::string, Expected>& Expectations() {
  static const std::map<std::string, Expected> table = {
#include "zip_corpus_expected.inc"
  };
  return table;
}

std::string Outcome(const Expected& e) {
  if (e.extracted < 0) return e.error;
  return std::to_string(e.extracted) + " extracted";
}

TEST(Corpus, EveryArchiveEndsAsExpectedWithoutEscapeAndMatchesOtherTools) {
  const std::string corpus = testing_support::SharedDir() + (testing_support::SharedDir().find('\\') != std::string::npos ? "\\zip-corpus" : "/zip-corpus");
  std::vector<std::string> archives;
  for (const std::string& f : FilesBelow(corpus)) {
    if (f.size() > 4 && f.substr(f.size() - 4) == ".zip") archives.push_back(f);
  }
  ASSERT_EQ(archives.size(), 22u) << corpus;
  ASSERT_TRUE(platform::DirectoryExists(Join(DataDir(), "corpus"))) << "run through ctest (fixture zip_archives)";
  std::printf("| archive | entries | our result | unzip | bsdtar |\n|---|---|---|---|---|\n");
  for (const std::string& name : archives) {
    SCOPED_TRACE(name);
    const std::string stem = name.substr(0, name.size() - 4);
    testing_support::TempDir jail;
    const std::string dest = jail / "dest";
    testing_support::RecordingTarget target;
    Expected got{-1, -1, ""};
    ExtractResult result;
    try {
      got.entries = static_cast<int>(testing_support::OpenDirectory(Join(corpus, name)).directory.Count());
      platform::FileStream archive(Join(corpus, name), platform::FileMode::ReadDenyWrite);
      result = Extract(archive, dest, ExtractOptions{}, target);
      got.extracted = result.written;
    } catch (const std::exception& e) {
      got.error = e.what();
    }
    // Nothing outside the destination folder.
    for (const std::string& f : FilesBelow(jail.path())) {
      EXPECT_EQ(f.rfind("dest/", 0), 0u) << "escaped: " << f;
    }
    // Same bytes as the other tools, for every file both produced.
    const std::string refs = Join(Join(DataDir(), "corpus"), stem);
    std::map<std::string, std::string> refResult;
    for (const char* tool : {"unzip", "bsdtar"}) {
      const std::string toolDir = Join(refs, tool);
      int same = 0, theirsOnly = 0;
      for (const std::string& rel : FilesBelow(toolDir)) {
        auto ours = platform::ReadWholeFile(Join(dest, rel));
        if (!ours) {
          ++theirsOnly;
          continue;
        }
        auto theirs = platform::ReadWholeFile(Join(toolDir, rel));
        EXPECT_TRUE(ours == theirs) << tool << " differs on " << rel;
        ++same;
      }
      std::string rc = platform::ReadWholeFile(Join(refs, std::string(tool) + ".rc")).value_or("?");
      while (!rc.empty() && (rc.back() == '\n' || rc.back() == '\r')) rc.pop_back();
      refResult[tool] = rc + ", " + std::to_string(FilesBelow(toolDir).size()) + " files (" + std::to_string(same) +
                        " identical to ours, " + std::to_string(theirsOnly) + " not extracted by us)";
    }
    std::printf("| %s | %d | %s | %s | %s |\n", name.c_str(), got.entries,
                got.extracted >= 0 ? (std::to_string(got.extracted) + " extracted, " + std::to_string(result.failed) +
                                      " failed").c_str()
                                   : got.error.c_str(),
                refResult["unzip"].c_str(), refResult["bsdtar"].c_str());
    auto want = Expectations().find(name);
    if (want == Expectations().end()) {
      ADD_FAILURE() << "no expectation for " << name;
      continue;
    }
    EXPECT_EQ(got.entries, want->second.entries);
    EXPECT_EQ(got.extracted, want->second.extracted);
    EXPECT_EQ(got.error, want->second.error) << Outcome(want->second);
  }
}

}  // namespace
}  // namespace zip
