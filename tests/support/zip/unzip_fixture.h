#pragma once
// Extraction the way the updater unpacks a package, over a fresh temporary
// folder, with what the extraction reports recorded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_stream.h"
#include "platform/files.h"
#include "support/base/test_paths.h"
#include "zip/archive_directory.h"
#include "zip/extract.h"

namespace testing_support {

// Records every report; files are put in place the default way.
class RecordingTarget : public zip::IExtractionTarget {
 public:
  void FolderCreated(const std::string& folder) override { folders.push_back(folder); }
  void Decoding(const std::string& decodedPath) override { decoding.push_back(decodedPath); }
  void Decoded(const uint8_t*, size_t count) override { decodedBytes += count; }
  void Written(const std::string& path) override { written.push_back(path); }
  void Failed(const std::string& path, zip::EntryFailure why) override {
    failures.push_back(why);
    failedPaths.push_back(path);
  }

  std::vector<std::string> folders, decoding, written, failedPaths;
  std::vector<zip::EntryFailure> failures;
  size_t decodedBytes = 0;
};

// The directory of an archive file, read through a stream it keeps open.
struct OpenDirectory {
  explicit OpenDirectory(const std::string& path)
      : file(path, platform::FileMode::ReadDenyWrite), held(file), archive(held, zip::kArchiveBufferSize),
        directory(archive, path) {}
  platform::FileStream file;
  zip::HeldFileByteStream held;
  zip::BufferedStream archive;
  zip::ArchiveDirectory directory;
};

class UnzipFixture : public ::testing::Test {
 protected:
  UnzipFixture() : dest(dir / "dest") {}

  // Writes a file into the temporary folder; returns its path.
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir / name;
    platform::WriteWholeFile(path, bytes);
    return path;
  }
  // Extracts the archive file below `into` (the destination by default).
  zip::ExtractResult ExtractFile(const std::string& path, const std::string& into = "") {
    platform::FileStream archive(path, platform::FileMode::ReadDenyWrite);
    last = zip::Extract(archive, into.empty() ? dest : into, options, target);
    return last;
  }
  // Writes the archive and extracts it; returns the entries written.
  int Extract(const std::string& archiveBytes, const std::string& name = "p.zip") {
    return ExtractFile(Write(name, archiveBytes)).written;
  }
  std::string Out(const std::string& rel) const { return dest + "\\" + rel; }

  TempDir dir;
  std::string dest;
  zip::ExtractOptions options;  // the updater's, for a package that replaces files
  RecordingTarget target;
  zip::ExtractResult last;
};

}  // namespace testing_support
