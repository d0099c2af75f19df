#pragma once
// One package installed as a whole or not at all. Each file it replaces is
// first renamed aside in its own folder (a program or DLL a running process
// has loaded can be renamed though not overwritten), the new file moved in
// after its CRC check; folders it creates are noted. A journal beside the
// updater records every step before it is taken, so that a run killed
// half-way is undone by the next run before it does anything else.
//
// The journal lies in the program's folder, not in the shared staging
// folder: every user of the machine can write there, and a planted journal
// would have the updater, as administrator, move files on their behalf.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_stream.h"

namespace engine {

inline constexpr const char* kJournalName = "AutoUpdate.journal";

class PackageTransaction {
 public:
  // StagingError when the journal cannot be written.
  explicit PackageTransaction(std::string journalPath);
  // Undoes everything unless committed.
  ~PackageTransaction();
  PackageTransaction(const PackageTransaction&) = delete;
  PackageTransaction& operator=(const PackageTransaction&) = delete;

  // Puts `decoded` in the place of `target`; false, with nothing changed,
  // when the system refuses.
  bool Replace(const std::string& decoded, const std::string& target);
  void FolderCreated(const std::string& folder);
  // A file about to be decoded: gone again if the run ends before it is
  // placed.
  void Decoding(const std::string& decodedPath);
  // The package is in place: the originals set aside are deleted (one still
  // in use goes at the next restart, or on a later run).
  void Commit();
  // Puts every original back and removes what the package added.
  void RollBack();

 private:
  void Log(const std::string& line);
  std::string journalPath_;
  std::unique_ptr<platform::FileStream> journal_;
  std::string committedBefore_;  // journal lines of earlier packages
  std::vector<std::string> steps_;
  bool done_ = false;
};

// Finishes what a journal left by an earlier run says: a package that was not
// committed is undone; originals of a committed one still set aside are
// deleted. The journal is removed once nothing is left to do.
void RecoverFromJournal(const std::string& journalPath);

}  // namespace engine
