#pragma once
// What one installation run gathers as it goes, from the downloads to the
// shortcut.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/text.h"
#include "engine/folder_tokens.h"
#include "engine/manifest_entry.h"
#include "engine/package_transaction.h"
#include "engine/staged_package.h"
#include "engine/update_engine.h"
#include "engine/written_files.h"

namespace engine {

struct UpdateEngine::Installation {
  std::int32_t count = 0;  // entries in the update list
  std::int32_t total = 0;  // progress steps: two per entry
  std::string installRoot;
  std::string mainFileName;  // from the manifest's application element
  std::string desktopFlag;
  std::string mainFilePath;  // set by the last main-file entry
  std::string appTitle;
  // Per entry, its package as downloaded and held; null when it failed.
  std::vector<std::shared_ptr<StagedPackage>> staged;
  // Per entry, its delta package as downloaded and held, while it is to be
  // tried; null otherwise.
  std::vector<std::shared_ptr<StagedPackage>> deltas;
  // Per entry that offers a delta, why its full package is installed
  // instead; empty while the delta is in use.
  std::vector<std::string> deltaRefusals;
  // Per entry, whether another entry has its name or its package.
  std::vector<bool> listedTwice;
  // Entries (by upper-cased name) that did not install: their versions are
  // not recorded, so the next run tries again.
  std::unordered_set<std::string> notInstalled;
  std::vector<std::string> registrations;  // components, in unpacking order
  std::string databasePackage;  // the package's file name
  std::string databaseFolder;   // where it was unpacked, private to this run
  bool databaseEntrySeen = false;
  bool databaseFailed = false;
  // The database engine's unpacked files, held from their unpacking until
  // its setup program has run: the staging folder is shared.
  WrittenFiles databaseFiles;
  // Every package's steps, until the configuration records them.
  std::unique_ptr<InstallJournal> journal;

  void Failed(const ManifestEntry& e) {
    notInstalled.insert(base::UpperAscii(e.name));
    if (e.setupPath == kDatabaseEngineToken) databaseFailed = true;
  }
};

}  // namespace engine
