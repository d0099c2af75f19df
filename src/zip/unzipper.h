#pragma once
// Unzipper: reads a zip archive's directory into entry records and extracts
// its entries into a folder.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "zip/buffer_stream.h"
#include "zip/entry_list.h"
#include "zip/zip_entry.h"
#include "zip/zip_errors.h"

namespace zip {

enum class Overwrite { Prompt, Always, Never, IfNewer, IfOlder };
enum class IncompleteArchive { AssumeMultiPart, AssumeDamaged, AssumeNotAZip };
// UnsafeName: the entry's name would leave the destination or names no
// ordinary file (it is never written).
enum class SkipReason { BadPassword, NoOverwrite, FileOpenError, CreateError, ExcludeList, ArchiveBitNotSet,
                        NoFileToFreshen, SkippedInStartZip, UnsafeName };

inline constexpr int kMsgOverwritePrompt = 196;
inline constexpr int kMsgUnknownMethod = 197;

class Unzipper;

struct UnzipSettings {
  // ---- Reading ----
  // What an archive without an end record is taken for.
  IncompleteArchive incompleteArchive = IncompleteArchive::AssumeMultiPart;
  // The archive stays open between calls (it is held open during a run).
  bool keepOpen = false;
  // The calling thread's window messages are let through at yield points.
  bool processMessages = true;
  OemNames oemNames = OemNames::Always;

  // ---- Extraction ----
  // Stored folders are recreated below the destination, after the first
  // matching prefix of relativePaths (letter case ignored) has been cut off.
  bool recreateFolders = false;
  std::vector<std::string> relativePaths;
  Overwrite overwrite = Overwrite::Prompt;
  bool extractAll = false;
  // Masks with * and ?, used when extractAll is false; emptied by each run.
  std::vector<std::string> masks;
  // Extracted files get the entry's read-only, hidden, system and archive
  // bits.
  bool keepAttributes = true;
  bool replaceReadOnly = false;
  // The system's cache of each extracted file is flushed when it is closed.
  bool flushFiles = false;
};

// All optional; each gets the unzipper first.
struct UnzipEvents {
  std::function<void(Unzipper&, IncompleteArchive&)> onIncompleteArchive;
  std::function<void(Unzipper&, int numFiles, int64_t totalBytes, bool& stopNow)> onStartInfo;
  std::function<void(Unzipper&, int index, std::string& fileName, bool& skip)> onStartEntry;
  std::function<void(Unzipper&, int index, const std::string& fileName)> onEndEntry;
  std::function<void(Unzipper&, bool& overwriteIt, int index, std::string& fileName)> onPromptForOverwrite;
  std::function<void(Unzipper&, SkipReason, const std::string& fileName, int index, bool& retry)> onSkippingFile;
  std::function<void(Unzipper&, int index, std::string& newPassword)> onBadPassword;
  std::function<void(Unzipper&, uint32_t calcCrc, uint32_t storedCrc, int index)> onBadCrc;
  std::function<void(Unzipper&, int percent)> onFilePercent;
  std::function<void(Unzipper&, int percent)> onTotalPercent;
  std::function<void(Unzipper&, int fileCount)> onComplete;
  // Puts a decoded, checked file in the place of its target and says whether
  // it did; without it the file is moved over the target.
  std::function<bool(Unzipper&, const std::string& decoded, const std::string& target)> onReplace;
  // The file an entry is about to be decoded into, before it is created.
  std::function<void(Unzipper&, const std::string& decodedPath)> onDecodeInto;
  // Each piece of an entry's bytes as it is written to its file.
  std::function<void(Unzipper&, int index, const uint8_t* data, size_t count)> onDecoded;
  // Each folder the extraction creates, parents first.
  std::function<void(Unzipper&, const std::string& folder)> onFolderCreated;
  // Takes the place of the message box.
  std::function<void(Unzipper&, int messageId, const std::string& text, const std::string& title, uint32_t flags,
                     int& result)>
      onMessage;
};

class Unzipper {
 public:
  // Questions and complaints go to `messageBox` when no onMessage handler
  // is assigned.
  explicit Unzipper(platform::IMessageBox& messageBox);
  ~Unzipper();
  Unzipper(const Unzipper&) = delete;
  Unzipper& operator=(const Unzipper&) = delete;

  UnzipSettings& settings() { return settings_; }
  const UnzipSettings& settings() const { return settings_; }
  UnzipEvents& events() { return events_; }

  // ---- Reading side ----
  const std::string& ZipName() const { return zipName_; }
  // A name equal to the current one (letter case ignored) changes nothing;
  // another name drops the loaded directory. No file dialog here: a name
  // ending in "?" fails with UserCanceledError.
  void SetZipName(const std::string& name);
  // The archive is a file the caller holds open (and so unchanged): it is
  // read through that handle, never opened again by name. The file must
  // stay open until another archive is set or the archive is cleared.
  void SetArchiveFile(platform::FileStream& file);
  EntryOrder SortMode() const { return sortMode_; }
  void SetSortMode(EntryOrder mode);

  void OpenArchive();
  void CloseArchive();
  void ClearArchive();
  int EntryCount() const { return static_cast<int>(entries_.size()); }
  ZipEntry& Entry(int index) const;  // ListError "Index %d is out of range"
  bool Rebuilt() const { return rebuilt_; }
  const EndOfCentralDirectory& EndRecord() const { return endRecord_; }
  bool ArchiveOpen() const { return archiveStream_ != nullptr; }

  // Asked from the yield points (set from an event handler or the window
  // thread's message handlers).
  void RequestCancel() { cancelRequested_ = true; }
  void SetPause(bool pause) { pauseRequested_ = pause; }

  // ---- Extraction ----
  const std::string& DestDir() const { return destDir_; }
  void SetDestDir(const std::string& dir);
  const std::string& RootDir() const { return rootDir_; }
  // Also makes the root the one relative path.
  void SetRootDir(const std::string& dir);

  // Extracts the selected entries; returns the files whose CRC matched plus
  // the folder entries. Whole-run failures raise.
  int ExtractFiles();
  // Entries of the last ExtractFiles that were passed over or failed for a
  // reason other than the overwrite rule.
  int FailedCount() const { return failedCount_; }

 private:
  struct Run;
  struct RunEnd;
  struct Target;
  class TempOutput;

  // Reading (unzipper.cpp).
  void DropEntries();
  void RebuildView();
  void ReadDirectory();
  bool EndRecordFound();
  void ReadCentralDirectory();
  bool ReadCentralPass(uint64_t archiveSize);
  uint64_t StartCentralPass(uint64_t archiveSize);
  bool ReadNextCentralHeader(ZipEntry& entry, ZipEntry* previous, uint16_t previousExtra);
  ZipEntry* MergeIntoScanned(const ZipEntry& central);
  ZipEntry* Keep(std::unique_ptr<ZipEntry> entry);
  void RebuildOrFail();
  [[noreturn]] void FailNotAZip();
  bool RecoveryScan();
  int64_t FindFirstLocalHeader(int64_t start);
  uint64_t ReadLocalHeaders(int64_t size);
  void YieldPoint();
  void ThrowIfCanceled();
  int Message(int id, const std::string& text, const std::string& title, uint32_t flags);

  // Extraction (unzipper_extract.cpp).
  void OpenArchiveWithRetry();
  int ExtractLoop();
  void ExtractSelected(Run& run, int count);
  void SelectEntries(Run& run, int count);
  bool IsSelected(const ZipEntry& entry, const std::vector<std::string>& lowerMasks) const;
  void ExtractEntry(Run& run, int index);
  Target TargetOf(const ZipEntry& entry) const;
  void ExtractFolder(Run& run, const Target& target, int index);
  int64_t DataOffset(const ZipEntry& entry);
  void PassOverEncrypted(Run& run, int index, const std::string& outPath);
  bool MayReplace(Run& run, int index, std::string& outPath);
  bool OverwriteAllowed(const ZipEntry& entry, int index, std::string& outPath);
  void DecodeAndReplace(Run& run, int index, const std::string& outPath, int64_t dataStart, bool existed);
  bool DecodeInto(Run& run, TempOutput& temp, int64_t dataStart, int index);
  void Commit(Run& run, TempOutput& temp, const std::string& outPath, bool existed, int index);
  void EnsureFolder(const std::string& folder);
  void PassOver(Run& run, SkipReason reason, const std::string& fileName, int index);
  void Decode(Run& run, BufferedStream& out);
  void DecodeStored(Run& run, BufferedStream& out);
  void DecodeDeflated(Run& run, BufferedStream& out);
  void ReadInput(Run& run, uint8_t* buffer, size_t count);
  void WriteOut(Run& run, BufferedStream& out, const uint8_t* data, size_t count);

  static constexpr size_t kBufferSize = 8192;

  platform::IMessageBox& messageBox_;
  UnzipSettings settings_;
  UnzipEvents events_;

  std::string zipName_;
  EntryOrder sortMode_ = EntryOrder::AsStored;
  std::vector<std::unique_ptr<ZipEntry>> entries_;  // in the order read
  // Present once a directory is being read: the entries by their place in
  // the archive, each place once.
  std::optional<EntryList> stored_;
  std::optional<EntryList> sorted_;  // the view when it has an order of its own
  const EntryList* view_ = nullptr;
  EndOfCentralDirectory endRecord_;
  platform::FileStream* heldArchive_ = nullptr;
  std::unique_ptr<Stream> heldStream_;  // outlives the buffer over it
  std::unique_ptr<BufferedStream> archiveStream_;
  uint64_t archiveTime_ = 0;
  bool rebuilt_ = false;
  uint32_t currentDisk_ = 0;
  // This file is a later part of a multi-part set: what other parts hold is
  // not read.
  bool laterPart_ = false;
  bool cancelRequested_ = false;
  bool pauseRequested_ = false;

  std::string destDir_;
  std::string rootDir_;
  int failedCount_ = 0;
};

}  // namespace zip
