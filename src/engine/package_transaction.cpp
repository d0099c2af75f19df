#include "engine/package_transaction.h"

#include <algorithm>
#include <optional>

#include "base/hex.h"
#include "base/text.h"
#include "engine/paths.h"
#include "engine/staged_package.h"
#include "platform/crypto.h"
#include "platform/file_names.h"
#include "platform/file_info.h"
#include "platform/files.h"
#include "platform/os_error.h"

namespace engine {
namespace {

// Journal lines: a word, then paths separated by tabs (no path holds a tab
// or a line break: names with control characters are never extracted).
constexpr const char* kPackage = "package";  // a package starts
constexpr const char* kDecoded = "decoded";  // a file an entry is decoded into
constexpr const char* kAside = "aside";      // target, the name it was set aside under
constexpr const char* kPlaced = "placed";    // target about to hold the new file
constexpr const char* kFolder = "folder";    // a folder the package created
constexpr const char* kUndone = "undone";    // the package was undone
constexpr const char* kRecord = "record";    // configuration path, SHA-256 of its new bytes
constexpr const char* kCommit = "commit";    // everything above is in place and recorded

using Step = JournalStep;

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

// Complete lines only: a line cut by the kill is no step.
std::vector<Step> ReadSteps(const std::string& text) {
  std::vector<Step> steps;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    steps.push_back(Parse(text.substr(start, end - start)));
  }
  return steps;
}

std::string Line(const Step& s) {
  return s.word + (s.first.empty() ? "" : "\t" + s.first) + (s.second.empty() ? "" : "\t" + s.second) + "\n";
}

// A hidden name in the target's folder, unused so far.
std::string AsideName(const std::string& target) {
  for (int i = 0;; ++i) {
    const std::string name = JoinPath(FolderOf(target), "~" + NameOf(target) + ".~old" + std::to_string(i));
    if (!platform::FileExists(name) && !platform::DirectoryExists(name)) return name;
  }
}

// Undoes one package's steps, last first. Safe to repeat: a target is
// removed only while its original is still set aside (or when it had none).
void Undo(const std::vector<Step>& steps) {
  for (size_t i = steps.size(); i-- > 0;) {
    const Step& s = steps[i];
    if (s.word == kPlaced) {
      const bool hadOriginal = i > 0 && steps[i - 1].word == kAside && steps[i - 1].first == s.first;
      if (!hadOriginal || platform::FileExists(steps[i - 1].second)) platform::RemoveFile(s.first);
    } else if (s.word == kAside && platform::FileExists(s.second)) {
      platform::MoveFileOver(s.second, s.first);
    } else if (s.word == kDecoded) {
      platform::RemoveFile(s.first);
    } else if (s.word == kFolder) {
      platform::RemoveEmptyFolder(s.first);
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

// The packages of a run, each as its steps, without those already undone.
std::vector<std::vector<Step>> Packages(const std::vector<Step>& steps) {
  std::vector<std::vector<Step>> packages;
  for (const Step& s : steps) {
    if (s.word == kPackage) {
      packages.emplace_back();
    } else if (s.word == kUndone && !packages.empty()) {
      packages.pop_back();
    } else if (!packages.empty() && s.word != kRecord && s.word != kCommit) {
      packages.back().push_back(s);
    }
  }
  return packages;
}

bool Recorded(const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    if (s.word != kRecord) continue;
    const auto bytes = platform::ReadWholeFile(s.first);
    if (!bytes) return false;
    platform::Sha256 hash;
    hash.Update(*bytes);
    return base::ToHex(hash.Finish()) == s.second;
  }
  return false;
}

// Finishes the steps of one run (up to its commit, if it got there).
// True when nothing is left to do.
bool Finish(const std::vector<Step>& run) {
  const bool completed = !run.empty() && (run.back().word == kCommit || Recorded(run));
  bool clean = true;
  const auto packages = Packages(run);
  for (auto it = packages.rbegin(); it != packages.rend(); ++it) {
    if (completed) {
      clean = DeleteAsides(*it) && clean;
    } else {
      Undo(*it);
    }
  }
  return clean;
}

// The file's bytes, read only while nobody else has it open (a journal a
// running updater is writing is none of ours); nullopt otherwise.
std::optional<std::string> ReadUnshared(const std::string& path) {
  try {
    platform::FileStream file(path, platform::FileMode::OpenExclusive);
    std::string text(static_cast<size_t>(std::max<int64_t>(file.Size(), 0)), '\0');
    text.resize(file.Read(text.data(), text.size()));
    return text;
  } catch (const platform::OsError&) {
    return std::nullopt;
  }
}

// Whether every path the step names lies inside one of the folders.
bool InsideTargets(const Step& s, const std::vector<std::string>& targets) {
  const auto inside = [&targets](const std::string& path) {
    return path.empty() || std::any_of(targets.begin(), targets.end(), [&path](const std::string& folder) {
             return platform::IsInsideFolder(folder, path);
           });
  };
  return inside(s.first) && (s.word == kRecord || inside(s.second));
}

}  // namespace

InstallJournal::InstallJournal(std::string path) : path_(std::move(path)) {
  // An earlier run may have left originals that were still in use.
  const std::vector<Step> earlier = ReadSteps(platform::ReadWholeFile(path_).value_or(""));
  try {
    file_ = std::make_unique<platform::FileStream>(path_, platform::FileMode::Create);
  } catch (const platform::OsError& e) {
    throw StagingError("无法写入安装日志“" + path_ + "”：" + e.systemText());
  }
  for (const Step& s : earlier) Append(s, false);
}

void InstallJournal::Append(const Step& step, bool durable) {
  const std::string text = Line(step);
  if (file_->Write(text.data(), text.size()) != text.size() || (durable && !file_->FlushToDisk())) {
    throw StagingError("无法写入安装日志“" + path_ + "”：" + platform::LastErrorText());
  }
}

void InstallJournal::Recording(const std::string& configPath, const std::string& configBytes) {
  platform::Sha256 hash;
  hash.Update(configBytes);
  Append({kRecord, configPath, base::ToHex(hash.Finish())});
}

void InstallJournal::Commit() {
  Append({kCommit, "", ""});
  file_.reset();
  // What this run wrote itself, so every path in it is its own.
  RecoverFromJournal(path_, {});
}

PackageTransaction::PackageTransaction(InstallJournal& journal) : journal_(journal) {
  journal_.Append({kPackage, "", ""}, false);
}

void PackageTransaction::Log(JournalStep step, bool durable) {
  journal_.Append(step, durable);
  steps_.push_back(std::move(step));
}

bool PackageTransaction::Replace(const std::string& decoded, const std::string& target) {
  const bool hadOriginal = platform::FileExists(target);
  if (hadOriginal) {
    const std::string aside = AsideName(target);
    Log({kAside, target, aside});
    if (!platform::RenameFile(target, aside)) return false;  // opened without delete sharing
    platform::SetFileAttributeBits(aside, platform::FileAttrHidden);
  }
  // With an original set aside, putting it back undoes the move by itself.
  Log({kPlaced, target, ""}, !hadOriginal);
  // When this fails the package fails, and its roll-back puts the original
  // back.
  return platform::MoveFileOver(decoded, target);
}

void PackageTransaction::FolderCreated(const std::string& folder) { Log({kFolder, folder, ""}, false); }

void PackageTransaction::Decoding(const std::string& decodedPath) { Log({kDecoded, decodedPath, ""}, false); }

void PackageTransaction::RollBack() {
  Undo(steps_);
  journal_.Append({kUndone, "", ""});
}

std::string JournalPathFor(const std::string& privateFolder, const std::string& programFolder) {
  platform::Sha256 hash;
  hash.Update(base::UpperAscii(programFolder));
  return JoinPath(privateFolder, base::ToHex(hash.Finish()).substr(0, 16) + ".journal");
}

void RecoverFromJournal(const std::string& journalPath, const std::vector<std::string>& targets) {
  const auto text = ReadUnshared(journalPath);
  if (!text) return;
  // Runs end with a commit; the last one may not have got there.
  std::vector<Step> kept;
  std::vector<Step> run;
  for (const Step& s : ReadSteps(*text)) {
    if (!targets.empty() && !InsideTargets(s, targets)) continue;
    run.push_back(s);
    if (s.word != kCommit) continue;
    if (!Finish(run)) kept.insert(kept.end(), run.begin(), run.end());
    run.clear();
  }
  if (!run.empty() && !Finish(run)) {
    kept.insert(kept.end(), run.begin(), run.end());
    kept.push_back({kCommit, "", ""});
  }
  if (kept.empty()) {
    platform::RemoveFile(journalPath);
    return;
  }
  std::string lines;
  for (const Step& s : kept) lines += Line(s);
  platform::ReplaceWholeFile(journalPath, lines);
}

}  // namespace engine
