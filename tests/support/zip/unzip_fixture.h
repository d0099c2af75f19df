#pragma once
// An unzipper set up the way the updater unpacks a package, over a fresh
// temporary folder, with its messages and passed-over entries recorded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "support/base/test_paths.h"
#include "support/platform/fakes.h"
#include "zip/unzipper.h"

namespace testing_support {

// Folders recreated below `dest`, every entry, existing and read-only files
// replaced.
inline void SetUpLikeTheUpdater(zip::Unzipper& z, const std::string& dest) {
  z.SetDestDir(dest);
  z.SetRootDir(dest);
  zip::UnzipSettings& s = z.settings();
  s.recreateFolders = true;
  s.extractAll = true;
  s.overwrite = zip::Overwrite::Always;
  s.replaceReadOnly = true;
}

class UnzipFixture : public ::testing::Test {
 protected:
  UnzipFixture() : dest(dir / "dest") {
    SetUpLikeTheUpdater(z, dest);
    z.events().onMessage = [this](zip::Unzipper&, int id, const std::string& text, const std::string& title,
                                  uint32_t flags, int& result) {
      messages.push_back(std::to_string(id) + "|" + text + "|" + title + "|" + std::to_string(flags));
      result = answer;
    };
    z.events().onSkippingFile = [this](zip::Unzipper&, zip::SkipReason reason, const std::string&, int, bool&) {
      skips.push_back(reason);
    };
  }

  // Writes a file into the temporary folder; returns its path.
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir / name;
    platform::WriteWholeFile(path, bytes);
    return path;
  }
  // Writes the archive and extracts it.
  int Extract(const std::string& archiveBytes, const std::string& name = "p.zip") {
    z.SetZipName(Write(name, archiveBytes));
    return z.ExtractFiles();
  }
  std::string Out(const std::string& rel) const { return dest + "\\" + rel; }

  TempDir dir;
  std::string dest;
  RecordingMessageBox box;  // where messages go once onMessage is unassigned
  zip::Unzipper z{box};
  std::vector<std::string> messages;  // "id|text|title|flags" of each message
  std::vector<zip::SkipReason> skips;
  int answer = platform::IdOk;  // the answer to every message
};

}  // namespace testing_support
