#include "engine/package_transaction.h"

#include "engine/paths.h"
#include "engine/staged_package.h"
#include "platform/file_info.h"
#include "platform/files.h"
#include "platform/os_error.h"

namespace engine {
namespace {

// Journal lines: a word, then paths separated by tabs (no path holds a tab
// or a line break: names with control characters are never extracted).
constexpr const char* kAside = "aside";      // target, the name it was set aside under
constexpr const char* kPlaced = "placed";    // target now holding the new file
constexpr const char* kFolder = "folder";    // a folder the package created
constexpr const char* kDecoded = "decoded";  // a file an entry is decoded into
constexpr const char* kCommit = "commit";

struct Step {
  std::string word, first, second;
};

Step Parse(const std::string& line) {
  Step step;
  const size_t a = line.find('\t');
  step.word = line.substr(0, a);
  if (a == std::string::npos) return step;
  const size_t b = line.find('\t', a + 1);
  step.first = line.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
  if (b != std::string::npos) step.second = line.substr(b + 1);
  return step;
}

std::vector<Step> ReadSteps(const std::string& text) {
  std::vector<Step> steps;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    steps.push_back(Parse(text.substr(start, end - start)));  // an unfinished last line is no step
  }
  return steps;
}

// A hidden name in the target's folder, unused so far.
std::string AsideName(const std::string& target) {
  for (int i = 0;; ++i) {
    const std::string name = JoinPath(FolderOf(target), "~" + NameOf(target) + ".~old" + std::to_string(i));
    if (!platform::FileExists(name) && !platform::DirectoryExists(name)) return name;
  }
}

void Undo(const std::vector<Step>& steps) {
  for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
    if (it->word == kPlaced) {
      platform::RemoveFile(it->first);
    } else if (it->word == kAside && platform::FileExists(it->second)) {
      platform::MoveFileOver(it->second, it->first);
    } else if (it->word == kDecoded) {
      platform::RemoveFile(it->first);
    } else if (it->word == kFolder) {
      platform::RemoveEmptyFolder(it->first);
    }
  }
}

// True when every original set aside is gone.
bool DeleteAsides(const std::vector<Step>& steps) {
  bool all = true;
  for (const Step& s : steps) {
    if (s.word != kAside || !platform::FileExists(s.second) || platform::RemoveFile(s.second)) continue;
    platform::DeleteAtRestart(s.second);
    all = false;
  }
  return all;
}

}  // namespace

PackageTransaction::PackageTransaction(std::string journalPath) : journalPath_(std::move(journalPath)) {
  // What an earlier package left: originals still in use, to delete later.
  const std::string earlier = platform::ReadWholeFile(journalPath_).value_or("");
  const size_t end = earlier.rfind(std::string(kCommit) + "\n");
  committedBefore_ = end == std::string::npos ? "" : earlier.substr(0, end + std::string(kCommit).size() + 1);
  try {
    journal_ = std::make_unique<platform::FileStream>(journalPath_, platform::FileMode::CreateReadable);
  } catch (const platform::OsError& e) {
    throw StagingError("无法写入安装日志“" + journalPath_ + "”：" + e.systemText());
  }
  if (journal_->Write(committedBefore_.data(), committedBefore_.size()) != committedBefore_.size()) {
    throw StagingError("无法写入安装日志“" + journalPath_ + "”：" + platform::LastErrorText());
  }
}

PackageTransaction::~PackageTransaction() {
  if (!done_) RollBack();
}

void PackageTransaction::Log(const std::string& line) {
  steps_.push_back(line);
  const std::string text = line + "\n";
  if (journal_->Write(text.data(), text.size()) != text.size() || !journal_->FlushToDisk()) {
    throw StagingError("无法写入安装日志“" + journalPath_ + "”：" + platform::LastErrorText());
  }
}

bool PackageTransaction::Replace(const std::string& decoded, const std::string& target) {
  std::string aside;
  if (platform::FileExists(target)) {
    aside = AsideName(target);
    Log(std::string(kAside) + "\t" + target + "\t" + aside);
    if (!platform::RenameFile(target, aside)) return false;  // opened without delete sharing
    platform::SetFileAttributeBits(aside, platform::FileAttrHidden);
  }
  Log(std::string(kPlaced) + "\t" + target);
  // When this fails the package fails, and its roll-back puts the original
  // back.
  return platform::MoveFileOver(decoded, target);
}

void PackageTransaction::FolderCreated(const std::string& folder) { Log(std::string(kFolder) + "\t" + folder); }

void PackageTransaction::Decoding(const std::string& decodedPath) { Log(std::string(kDecoded) + "\t" + decodedPath); }

void PackageTransaction::Commit() {
  Log(kCommit);
  done_ = true;
  journal_.reset();
  std::vector<Step> steps = ReadSteps(committedBefore_);
  for (const std::string& line : steps_) steps.push_back(Parse(line));
  if (DeleteAsides(steps)) platform::RemoveFile(journalPath_);
}

void PackageTransaction::RollBack() {
  done_ = true;
  journal_.reset();
  std::vector<Step> steps;
  for (const std::string& line : steps_) steps.push_back(Parse(line));
  Undo(steps);
  if (committedBefore_.empty()) {
    platform::RemoveFile(journalPath_);
  } else {
    platform::WriteWholeFile(journalPath_, committedBefore_);
  }
}

void RecoverFromJournal(const std::string& journalPath) {
  const auto text = platform::ReadWholeFile(journalPath);
  if (!text) return;
  std::vector<Step> steps = ReadSteps(*text);
  // Steps after the last commit belong to a package that never finished.
  size_t committed = steps.size();
  while (committed > 0 && steps[committed - 1].word != kCommit) --committed;
  Undo({steps.begin() + static_cast<std::ptrdiff_t>(committed), steps.end()});
  steps.resize(committed);
  if (DeleteAsides(steps)) {
    platform::RemoveFile(journalPath);
  } else {
    std::string kept;
    for (const Step& s : steps) kept += s.word + (s.first.empty() ? "" : "\t" + s.first) +
                                        (s.second.empty() ? "" : "\t" + s.second) + "\n";
    platform::WriteWholeFile(journalPath, kept);
  }
}

}  // namespace engine
