#pragma once
// Packages installed as a whole or not at all, and recorded with the files
// they put in place. Each file a package replaces is first renamed aside in
// its own folder (a program or DLL a running process has loaded can be
// renamed though not overwritten) and the new file moved in after its CRC
// check; the folders and decode files it creates are noted. A journal beside
// the updater records every step before it is taken. A failed package is
// undone at once; the packages that installed are committed only once the
// client configuration records them, so that a run killed at any moment is
// undone, or completed, by the next run before it does anything else, and the
// record always describes the files.
//
// The journal lies in the updater's private folder, where only
// administrators can write: a planted journal would have the updater, as
// administrator, move files on the planter's behalf. It is open to nobody
// else while a run writes it, and recovery takes only a journal nobody has
// open, and only the steps inside the installation's own folders.
#include <memory>
#include <string>
#include <vector>

#include "platform/file_stream.h"
#include "zip/extraction_target.h"

namespace engine {

// One line of the journal: what happened, and the paths it happened to.
struct JournalStep {
  std::string word, first, second;
};

// The journal of one installation run.
class InstallJournal {
 public:
  // StagingError when it cannot be written.
  explicit InstallJournal(std::string path);
  InstallJournal(const InstallJournal&) = delete;
  InstallJournal& operator=(const InstallJournal&) = delete;

  // Writes the step; StagingError when it cannot. A durable step is on the
  // disk when this returns (an undo needs it); the others reach it with the
  // next durable one, and only a power cut can lose them, leaving at most a
  // stray file or empty folder.
  void Append(const JournalStep& step, bool durable = true);
  // The configuration holding these bytes is about to be written over
  // `configPath` (it records every package that installed).
  void Recording(const std::string& configPath, const std::string& configBytes);
  // Every package that installed is in place and recorded: the originals set
  // aside are deleted (one still in use goes at the next restart, or on a
  // later run) and the journal with them.
  void Commit();

 private:
  std::string path_;
  std::unique_ptr<platform::FileStream> file_;
};

// As an extraction's target it puts the package's files in place.
class PackageTransaction : public zip::IExtractionTarget {
 public:
  explicit PackageTransaction(InstallJournal& journal);
  PackageTransaction(const PackageTransaction&) = delete;
  PackageTransaction& operator=(const PackageTransaction&) = delete;

  // Puts `decoded` in the place of `target`; false when the system refuses.
  bool Replace(const std::string& decoded, const std::string& target) override;
  void FolderCreated(const std::string& folder) override;
  // A file about to be decoded: gone again if the package is undone.
  void Decoding(const std::string& decodedPath) override;
  // Puts every original back and removes what the package added.
  void RollBack();

 private:
  void Log(JournalStep step, bool durable = true);
  InstallJournal& journal_;
  std::vector<JournalStep> steps_;
};

// The journal of the installation in `programFolder`, in the updater's
// private folder: one per installation, named by its folder, so that several
// installations on one machine each recover their own.
std::string JournalPathFor(const std::string& privateFolder, const std::string& programFolder);

// The journal of an earlier version of the updater, in its program folder.
inline constexpr const char* kLegacyJournalName = "AutoUpdate.journal";

// Finishes what a journal left by an earlier run says, then removes it:
// packages recorded in the configuration are completed, the others undone;
// originals of completed packages still set aside are deleted. Steps naming
// a path outside `targets` (folders, each ending in a backslash) are passed
// over; a journal somebody has open is left alone.
void RecoverFromJournal(const std::string& journalPath, const std::vector<std::string>& targets);

}  // namespace engine
