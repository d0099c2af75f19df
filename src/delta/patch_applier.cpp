#include "delta/patch_applier.h"

#include <algorithm>
#include <string>
#include <vector>

#include "delta/patch_error.h"
#include "delta/patch_format.h"
#include "delta/stream_inflater.h"

namespace delta {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

PatchHeader ReadHeader(zip::Stream& patch) {
  const int64_t size = patch.Size();
  std::string bytes(kPatchHeaderSize, '\0');
  if (size < 0 || patch.Seek(0, zip::SeekFromStart) != 0) throw PatchError(PatchFault::ReadFailed, "无法读取补丁");
  bytes.resize(patch.Read(bytes.data(), bytes.size()));
  return DecodeHeader(bytes, static_cast<std::uint64_t>(size));
}

// The patch's state between control triples.
class Applier {
 public:
  Applier(zip::Stream& base, zip::Stream& patch, zip::Stream& output, const PatchHeader& header)
      : base_(base),
        output_(output),
        header_(header),
        control_(patch, kPatchHeaderSize, header.controlLength),
        diff_(patch, kPatchHeaderSize + header.controlLength, header.diffLength),
        extra_(patch, kPatchHeaderSize + header.controlLength + header.diffLength, header.extraLength),
        fromBase_(kChunk),
        fromPatch_(kChunk) {}

  void Run() {
    while (newPos_ < header_.newSize) Step(NextTriple());
    control_.ExpectEnd();
    diff_.ExpectEnd();
    extra_.ExpectEnd();
  }

 private:
  ControlTriple NextTriple() {
    unsigned char bytes[kControlTripleSize];
    control_.ReadExactly(bytes, sizeof bytes);
    const ControlTriple triple = DecodeTriple(bytes);
    if (triple.diffLength == 0 && triple.extraLength == 0) {
      throw PatchError(PatchFault::BadStream, "补丁的控制段含有空步骤");
    }
    const std::uint64_t room = header_.newSize - newPos_;
    if (triple.diffLength > room || triple.extraLength > room - triple.diffLength) {
      throw PatchError(PatchFault::TooLong, "补丁写出的内容超过声明的大小");
    }
    if (triple.diffLength > header_.oldSize - oldPos_) {
      throw PatchError(PatchFault::OutOfRange, "补丁读取的范围超出原文件");
    }
    return triple;
  }

  void Step(const ControlTriple& triple) {
    CopyDiff(triple.diffLength);
    CopyExtra(triple.extraLength);
    Seek(triple.seek);
  }

  void CopyDiff(std::uint64_t length) {
    if (length > 0 && base_.Seek(static_cast<std::int64_t>(oldPos_), zip::SeekFromStart) !=
                          static_cast<std::int64_t>(oldPos_)) {
      throw PatchError(PatchFault::ReadFailed, "无法读取原文件");
    }
    for (std::uint64_t done = 0; done < length;) {
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, length - done));
      if (base_.Read(fromBase_.data(), n) != n) throw PatchError(PatchFault::ReadFailed, "无法读取原文件");
      diff_.ReadExactly(fromPatch_.data(), n);
      for (std::size_t i = 0; i < n; ++i) fromPatch_[i] = static_cast<unsigned char>(fromPatch_[i] + fromBase_[i]);
      Write(n);
      done += n;
    }
    oldPos_ += length;
  }

  void CopyExtra(std::uint64_t length) {
    for (std::uint64_t done = 0; done < length;) {
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, length - done));
      extra_.ReadExactly(fromPatch_.data(), n);
      Write(n);
      done += n;
    }
  }

  void Write(std::size_t n) {
    if (output_.Write(fromPatch_.data(), n) != n) throw PatchError(PatchFault::WriteFailed, "无法写出打补丁的文件");
    newPos_ += n;
  }

  void Seek(std::int64_t seek) {
    const bool fits = seek >= 0 ? static_cast<std::uint64_t>(seek) <= header_.oldSize - oldPos_
                                : static_cast<std::uint64_t>(-(seek + 1)) < oldPos_;
    if (!fits) throw PatchError(PatchFault::OutOfRange, "补丁的跳转超出原文件");
    oldPos_ = seek >= 0 ? oldPos_ + static_cast<std::uint64_t>(seek)
                        : oldPos_ - static_cast<std::uint64_t>(-(seek + 1)) - 1;
  }

  zip::Stream& base_;
  zip::Stream& output_;
  const PatchHeader header_;
  StreamInflater control_;
  StreamInflater diff_;
  StreamInflater extra_;
  std::vector<unsigned char> fromBase_;
  std::vector<unsigned char> fromPatch_;
  std::uint64_t oldPos_ = 0;
  std::uint64_t newPos_ = 0;
};

}  // namespace

std::uint64_t ApplyPatch(zip::Stream& base, zip::Stream& patch, zip::Stream& output) {
  const PatchHeader header = ReadHeader(patch);
  const int64_t baseSize = base.Size();
  if (baseSize < 0 || static_cast<std::uint64_t>(baseSize) != header.oldSize) {
    throw PatchError(PatchFault::WrongBase, "原文件的大小与补丁不符");
  }
  Applier(base, patch, output, header).Run();
  return header.newSize;
}

}  // namespace delta
