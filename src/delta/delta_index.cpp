#include "delta/delta_index.h"

#include <array>
#include <set>

#include "base/text.h"
#include "delta/plain_name.h"

namespace delta {
namespace {

constexpr std::array<std::string_view, 4> kActionWords = {"unchanged", "new", "removed", "patched"};
constexpr std::string_view kAbsent = "-";
constexpr std::size_t kFields = 7;

struct ActionFields {
  bool base, result, entry;
};
ActionFields FieldsOf(DeltaAction action) {
  switch (action) {
    case DeltaAction::Unchanged: return {true, true, false};
    case DeltaAction::New: return {false, true, true};
    case DeltaAction::Removed: return {true, false, false};
    case DeltaAction::Patched: return {true, true, true};
  }
  return {};
}

std::string FormatDigest(const std::optional<FileDigest>& digest) {
  if (!digest) return std::string(kAbsent) + "\t" + std::string(kAbsent);
  return std::to_string(digest->size) + "\t" + digest->sha256;
}

// Throws with the line's number.
class LineReader {
 public:
  explicit LineReader(std::size_t number) : number_(number) {}
  [[noreturn]] void Fail(const std::string& why) const {
    throw DeltaIndexError("差异包索引第 " + std::to_string(number_) + " 行无效：" + why);
  }

  DeltaAction Action(std::string_view word) const {
    for (std::size_t i = 0; i < kActionWords.size(); ++i) {
      if (word == kActionWords[i]) return static_cast<DeltaAction>(i);
    }
    Fail("未知的操作“" + std::string(word) + "”");
  }

  std::uint64_t Size(std::string_view text) const {
    if (text.empty() || text.size() > 19 || (text.size() > 1 && text[0] == '0')) Fail("大小不是十进制数");
    std::uint64_t value = 0;
    for (char c : text) {
      if (c < '0' || c > '9') Fail("大小不是十进制数");
      value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
  }

  std::string Sha256(std::string_view text) const {
    if (text.size() != 64) Fail("SHA-256 不是 64 位十六进制数");
    for (char c : text) {
      if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
        Fail("SHA-256 不是 64 位十六进制数");
      }
    }
    return base::LowerAscii(text);
  }

  std::optional<FileDigest> Digest(std::string_view size, std::string_view sha, bool wanted) const {
    if (!wanted) {
      if (size != kAbsent || sha != kAbsent) Fail("此操作不应有这一项的大小和摘要");
      return std::nullopt;
    }
    return FileDigest{Size(size), Sha256(sha)};
  }

  std::string Name(std::string_view text, bool wanted, const char* what) const {
    if (!wanted) {
      if (text != kAbsent) Fail(std::string("此操作不应有") + what);
      return {};
    }
    if (text == kAbsent || !IsPlainRelativeName(text)) Fail(std::string(what) + "不是普通的相对名称");
    return std::string(text);
  }

 private:
  std::size_t number_;
};

std::vector<std::string_view> Split(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

DeltaFile ParseLine(std::string_view line, const LineReader& reader) {
  const std::vector<std::string_view> f = Split(line);
  if (f.size() != kFields) reader.Fail("应有 7 项，以制表符分隔");
  DeltaFile file;
  file.action = reader.Action(f[0]);
  const ActionFields wanted = FieldsOf(file.action);
  file.path = reader.Name(f[1], true, "路径");
  file.base = reader.Digest(f[2], f[3], wanted.base);
  file.result = reader.Digest(f[4], f[5], wanted.result);
  file.entry = reader.Name(f[6], wanted.entry, "包内条目名");
  if (file.action == DeltaAction::Unchanged && file.base != file.result) reader.Fail("未变的文件前后摘要不同");
  return file;
}

}  // namespace

std::string FormatDeltaIndex(const std::vector<DeltaFile>& files) {
  std::string out = std::string(kIndexFirstLine) + "\n";
  for (const DeltaFile& file : files) {
    out += std::string(kActionWords[static_cast<std::size_t>(file.action)]) + "\t" + file.path + "\t" +
           FormatDigest(file.base) + "\t" + FormatDigest(file.result) + "\t" +
           (file.entry.empty() ? std::string(kAbsent) : file.entry) + "\n";
  }
  return out;
}

std::vector<DeltaFile> ParseDeltaIndex(std::string_view text) {
  if (text.size() > kMaxIndexBytes) throw DeltaIndexError("差异包索引过大");
  if (text.empty() || text.back() != '\n') throw DeltaIndexError("差异包索引不完整");
  std::vector<DeltaFile> files;
  std::set<std::string> paths, entries;
  std::size_t number = 1;
  for (std::size_t start = 0; start < text.size(); ++number) {
    const std::size_t end = text.find('\n', start);
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    const LineReader reader(number);
    if (number == 1) {
      if (line != kIndexFirstLine) reader.Fail("不是差异包索引");
      continue;
    }
    files.push_back(ParseLine(line, reader));
    if (!paths.insert(base::LowerAscii(files.back().path)).second) reader.Fail("路径重复");
    if (!files.back().entry.empty() && !entries.insert(files.back().entry).second) reader.Fail("包内条目名重复");
  }
  return files;
}

}  // namespace delta
