#pragma once
// Unzipper: reads a zip archive's directory into entry records and extracts
// its entries into a folder.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "zip/buffer_stream.h"
#include "zip/sorted_zip.h"
#include "zip/zip_entry.h"
#include "zip/zip_errors.h"

namespace zip {

enum class Overwrite { Prompt, Always, Never, IfNewer, IfOlder };
enum class IncompleteArchive { AssumeMultiPart, AssumeDamaged, AssumeNotAZip };
enum class SkipReason { BadPassword, NoOverwrite, FileOpenError, CreateError, ExcludeList, ArchiveBitNotSet,
                        NoFileToFreshen, SkippedInStartZip };

inline constexpr int kMsgOverwritePrompt = 196;
inline constexpr int kMsgUnknownMethod = 197;

class Unzipper {
 public:
  Unzipper();
  ~Unzipper();
  Unzipper(const Unzipper&) = delete;
  Unzipper& operator=(const Unzipper&) = delete;

  // ---- Reading side ----
  const std::string& ZipName() const { return zipName_; }
  // A name equal to the current one (letter case ignored) changes nothing;
  // another name drops the loaded directory. No file dialog here: a name
  // ending in "?" fails with UserCanceledError.
  void SetZipName(const std::string& name);
  EntryOrder SortMode() const { return sortMode_; }
  void SetSortMode(EntryOrder mode);
  IncompleteArchive IncompleteZipMode = IncompleteArchive::AssumeMultiPart;
  bool KeepZipOpen = false;
  bool DoProcessMessages = true;
  OemNames OEMConvert = OemNames::Always;
  bool FlushFilesOnClose = false;

  void OpenArchive();
  void CloseArchive();
  void ClearArchive();
  int EntryCount() const;
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
  void SetRootDir(const std::string& dir);
  std::vector<std::string> RelativePathList;
  bool RecreateDirs = false;
  Overwrite OverwriteMode = Overwrite::Prompt;
  std::vector<std::string> FilesList;  // masks with * and ?, used when DoAll is false
  bool DoAll = false;
  bool RetainAttributes = true;
  bool ReplaceReadOnly = false;
  // Where the component's questions and complaints are shown when no
  // OnHandleMessage handler is assigned; the system's owner-less box by
  // default.
  platform::IMessageBox* MessageSink;

  // Extracts the selected entries; returns the files whose CRC matched plus
  // the folder entries. Whole-run failures raise.
  int ExtractFiles();
  // Entries of the last ExtractFiles that were passed over or failed for a
  // reason other than the overwrite rule.
  int FailedCount() const { return failedCount_; }

  // ---- Events (all optional) ----
  std::function<void(Unzipper&, IncompleteArchive&)> OnInCompleteZip;
  std::function<void(Unzipper&, int numFiles, int64_t totalBytes, bool& stopNow)> OnStartUnZipInfo;
  std::function<void(Unzipper&, int index, std::string& fileName, bool& skip)> OnStartUnZip;
  std::function<void(Unzipper&, int index, const std::string& fileName)> OnEndUnZip;
  std::function<void(Unzipper&, bool& overwriteIt, int index, std::string& fileName)> OnPromptForOverwrite;
  std::function<void(Unzipper&, SkipReason, const std::string& fileName, int index, bool& retry)> OnSkippingFile;
  std::function<void(Unzipper&, int index, std::string& newPassword)> OnBadPassword;
  std::function<void(Unzipper&, uint32_t calcCrc, uint32_t storedCrc, int index)> OnBadCRC;
  std::function<void(Unzipper&, int percent)> OnFilePercentDone;
  std::function<void(Unzipper&, int percent)> OnTotalPercentDone;
  std::function<void(Unzipper&, int fileCount)> OnUnZipComplete;
  std::function<void(Unzipper&, int messageId, const std::string& text, const std::string& title, uint32_t flags,
                     int& result)>
      OnHandleMessage;

 private:
  struct Run;
  void ReadDirectory();
  bool RecoveryScan();
  void ReadCentralDirectory();
  void RebuildView();
  void FreeLists();
  void YieldPoint();
  void OpenArchiveWithRetry();
  int ExtractLoop();
  void ExtractEntry(Run& run, int index);
  void PassOver(Run& run, SkipReason reason, const std::string& fileName, int index);
  void Decode(Run& run, BufferedStream& out, const std::string& fileName);
  void DecodeStored(Run& run, BufferedStream& out);
  void DecodeDeflated(Run& run, BufferedStream& out);
  void ReadInput(Run& run, uint8_t* buffer, size_t count);
  void WriteOut(Run& run, BufferedStream& out, const uint8_t* data, size_t count);
  int Message(int id, const std::string& text, const std::string& title, uint32_t flags);

  std::string zipName_;
  std::string baseName_;
  EntryOrder sortMode_ = EntryOrder::AsStored;
  std::unique_ptr<TSortedZip> masterList_;
  std::unique_ptr<TSortedZip> ownViewList_;  // present when the view has its own order
  TSortedZip* viewList_ = nullptr;
  EndOfCentralDirectory endRecord_;
  std::unique_ptr<BufferedFileStream> archiveStream_;
  uint64_t archiveTime_ = 0;
  bool rebuilt_ = false;
  uint32_t currentDisk_ = 0;
  uint32_t diskCount_ = 1;
  int partMode_ = 0;
  bool cancelRequested_ = false;
  bool pauseRequested_ = false;
  static constexpr size_t bufferSize = 8192;

  std::string destDir_;
  std::string rootDir_;
  int failedCount_ = 0;
  Run* run_ = nullptr;
};

}  // namespace zip
