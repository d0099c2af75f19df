#pragma once
// TUnZipper: reads a zip archive's directory into entry records and extracts
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

enum class TUZOverwriteMode { Prompt, Always, Never, ifNewer, ifOlder };
enum class TIncompleteZipMode { izAssumeMulti, izAssumeBad, izAssumeNotAZip };
enum class TSkipReason { srBadPassword, srNoOverwrite, srFileOpenError, srCreateError, srExcludeList,
                         srArchiveBitNotSet, srNoFileToFreshen, srSkippedInStartZip };

inline constexpr int kMsgOverwritePrompt = 196;
inline constexpr int kMsgUnknownMethod = 197;

class TUnZipper {
 public:
  TUnZipper();
  ~TUnZipper();
  TUnZipper(const TUnZipper&) = delete;
  TUnZipper& operator=(const TUnZipper&) = delete;

  // ---- Reading side ----
  const std::string& ZipName() const { return zipName_; }
  // A name equal to the current one (letter case ignored) changes nothing;
  // another name drops the loaded directory. No file dialog here: a name
  // ending in "?" fails with EUserCanceled.
  void SetZipName(const std::string& name);
  TZipSortMode SortMode() const { return sortMode_; }
  void SetSortMode(TZipSortMode mode);
  TIncompleteZipMode IncompleteZipMode = TIncompleteZipMode::izAssumeMulti;
  bool KeepZipOpen = false;
  bool DoProcessMessages = true;
  TOEMConvert OEMConvert = TOEMConvert::oemAlways;
  bool FlushFilesOnClose = false;

  void OpenArchive();
  void CloseArchive();
  void ClearArchive();
  int EntryCount() const;
  TZipHeaderInfo& Entry(int index) const;  // EListError "Index %d is out of range"
  bool Rebuilt() const { return rebuilt_; }
  const TEndCentral& EndRecord() const { return endRecord_; }
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
  TUZOverwriteMode OverwriteMode = TUZOverwriteMode::Prompt;
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
  std::function<void(TUnZipper&, TIncompleteZipMode&)> OnInCompleteZip;
  std::function<void(TUnZipper&, int numFiles, int64_t totalBytes, bool& stopNow)> OnStartUnZipInfo;
  std::function<void(TUnZipper&, int index, std::string& fileName, bool& skip)> OnStartUnZip;
  std::function<void(TUnZipper&, int index, const std::string& fileName)> OnEndUnZip;
  std::function<void(TUnZipper&, bool& overwriteIt, int index, std::string& fileName)> OnPromptForOverwrite;
  std::function<void(TUnZipper&, TSkipReason, const std::string& fileName, int index, bool& retry)> OnSkippingFile;
  std::function<void(TUnZipper&, int index, std::string& newPassword)> OnBadPassword;
  std::function<void(TUnZipper&, uint32_t calcCrc, uint32_t storedCrc, int index)> OnBadCRC;
  std::function<void(TUnZipper&, int percent)> OnFilePercentDone;
  std::function<void(TUnZipper&, int percent)> OnTotalPercentDone;
  std::function<void(TUnZipper&, int fileCount)> OnUnZipComplete;
  std::function<void(TUnZipper&, int messageId, const std::string& text, const std::string& title, uint32_t flags,
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
  void PassOver(Run& run, TSkipReason reason, const std::string& fileName, int index);
  void Decode(Run& run, TBufferStream& out, const std::string& fileName);
  void DecodeStored(Run& run, TBufferStream& out);
  void DecodeDeflated(Run& run, TBufferStream& out);
  void ReadInput(Run& run, uint8_t* buffer, size_t count);
  void WriteOut(Run& run, TBufferStream& out, const uint8_t* data, size_t count);
  int Message(int id, const std::string& text, const std::string& title, uint32_t flags);

  std::string zipName_;
  std::string baseName_;
  TZipSortMode sortMode_ = TZipSortMode::ByNone;
  std::unique_ptr<TSortedZip> masterList_;
  std::unique_ptr<TSortedZip> ownViewList_;  // present when the view has its own order
  TSortedZip* viewList_ = nullptr;
  TEndCentral endRecord_;
  std::unique_ptr<TBufferedFileStream> archiveStream_;
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
