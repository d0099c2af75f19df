#include "publish/diff_maker.h"

#include <zlib.h>

#include "delta/patch_format.h"
#include "publish/release.h"
#include "publish/suffix_index.h"

namespace publish {
namespace {

// Matches are looked for this far ahead at most; a longer one goes on
// through the alignment it starts.
constexpr std::size_t kQueryLength = 4096;
// A match shorter than this is not worth a control triple.
constexpr std::size_t kMinMatch = 12;
// A new alignment must agree with this many more bytes than the current one.
constexpr std::size_t kMinGain = 8;

std::string Compressed(const std::string& bytes) {
  uLongf length = compressBound(static_cast<uLong>(bytes.size()));
  std::string out(length, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(bytes.data()),
                static_cast<uLong>(bytes.size()), Z_BEST_COMPRESSION) != Z_OK) {
    throw PublishError("压缩补丁失败。");
  }
  out.resize(length);
  return out;
}

// A stretch of the new file read against the old one from `oldStart`.
struct Alignment {
  std::size_t newStart = 0;
  std::size_t oldStart = 0;
};

class PatchWriter {
 public:
  PatchWriter(std::string_view oldBytes, std::string_view newBytes) : old_(oldBytes), new_(newBytes) {}

  std::string Run() {
    const SuffixIndex index(old_);
    Alignment current;
    for (std::size_t pos = 0; pos < new_.size();) {
      // A stretch needs at least one byte: the first alignment starts at
      // the old file's start.
      if (pos == 0 || Agrees(current, pos)) {
        ++pos;
        continue;
      }
      const Match match = index.Longest(new_.substr(pos, kQueryLength));
      if (match.length < kMinMatch || Agreement(current, pos, match.length) + kMinGain > match.length) {
        ++pos;
        continue;
      }
      Close(current, pos, match.offset);
      current = {pos, match.offset};
      pos += match.length;
    }
    Close(current, new_.size(), OldAt(current, new_.size()));
    return Assemble();
  }

 private:
  std::size_t OldAt(const Alignment& a, std::size_t pos) const { return a.oldStart + (pos - a.newStart); }

  bool Agrees(const Alignment& a, std::size_t pos) const {
    const std::size_t o = OldAt(a, pos);
    return o < old_.size() && old_[o] == new_[pos];
  }

  std::size_t Agreement(const Alignment& a, std::size_t pos, std::size_t length) const {
    std::size_t count = 0;
    for (std::size_t i = 0; i < length; ++i) count += Agrees(a, pos + i) ? 1 : 0;
    return count;
  }

  // How far from its start the alignment is worth a difference rather than
  // extra bytes: where agreeing bytes lead disagreeing ones by the most.
  std::size_t DiffLength(const Alignment& a, std::size_t end) const {
    const std::size_t most = std::min(end - a.newStart, old_.size() - std::min(old_.size(), a.oldStart));
    long long score = 0, bestScore = 0;
    std::size_t best = 0;
    for (std::size_t i = 0; i < most; ++i) {
      score += Agrees(a, a.newStart + i) ? 1 : -1;
      if (score > bestScore) bestScore = score, best = i + 1;
    }
    return best;
  }

  // Ends the alignment's stretch at `end`; the next one reads the old file
  // from `nextOld`.
  void Close(const Alignment& a, std::size_t end, std::size_t nextOld) {
    if (end == a.newStart) return;  // an empty new file
    const std::size_t diff = DiffLength(a, end);
    for (std::size_t i = 0; i < diff; ++i) {
      diff_.push_back(static_cast<char>(new_[a.newStart + i] - old_[a.oldStart + i]));
    }
    extra_.append(new_.substr(a.newStart + diff, end - a.newStart - diff));
    triples_.push_back({diff, end - a.newStart - diff, 0});
    lastTripleOld_ = a.oldStart + diff;
    SeekTo(nextOld);
  }

  void SeekTo(std::size_t nextOld) {
    triples_.back().seek = static_cast<std::int64_t>(nextOld) - static_cast<std::int64_t>(lastTripleOld_);
  }

  std::string Assemble() {
    if (!triples_.empty()) triples_.back().seek = 0;
    std::string control;
    for (const delta::ControlTriple& t : triples_) control += delta::EncodeTriple(t);
    const std::string controlZ = Compressed(control), diffZ = Compressed(diff_), extraZ = Compressed(extra_);
    const delta::PatchHeader header{old_.size(), new_.size(), controlZ.size(), diffZ.size(), extraZ.size()};
    return delta::EncodeHeader(header) + controlZ + diffZ + extraZ;
  }

  std::string_view old_, new_;
  std::vector<delta::ControlTriple> triples_;
  std::string diff_, extra_;
  std::size_t lastTripleOld_ = 0;
};

}  // namespace

std::string MakePatch(std::string_view oldBytes, std::string_view newBytes) {
  return PatchWriter(oldBytes, newBytes).Run();
}

}  // namespace publish
