#include "delta/patch_applier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

#include "delta/patch_error.h"
#include "support/delta/patch_builder.h"
#include "support/zip/memory_stream.h"

namespace {

using delta::ControlTriple;
using delta::PatchFault;
using testing_support::MemoryStream;
using testing_support::PatchParts;

struct Outcome {
  std::string output;
  std::optional<PatchFault> fault;
};

Outcome Apply(const std::string& base, const std::string& patch, size_t writeLimit = SIZE_MAX) {
  MemoryStream baseStream(base), patchStream(patch), out;
  out.LimitWrites(writeLimit);
  Outcome outcome;
  try {
    const std::uint64_t written = delta::ApplyPatch(baseStream, patchStream, out);
    EXPECT_EQ(written, out.Data().size());
  } catch (const delta::PatchError& e) {
    outcome.fault = e.fault();
  }
  outcome.output = out.Data();
  return outcome;
}

// new = "HELLO" from base[0..5) + diff, then "++" extra, then base[2..5).
PatchParts Sample() {
  PatchParts p;
  p.oldSize = 8;
  p.newSize = 10;
  p.triples = {{5, 2, -3}, {3, 0, 0}};
  const std::string base = "hello123";
  const std::string wanted = "HELLO";
  for (size_t i = 0; i < 5; ++i) p.diff.push_back(static_cast<char>(wanted[i] - base[i]));
  p.diff += std::string(3, '\0');
  p.extra = "++";
  return p;
}

TEST(ApplyPatch, DiffExtraAndBackwardSeek) {
  const Outcome o = Apply("hello123", Sample().Bytes());
  ASSERT_FALSE(o.fault);
  EXPECT_EQ(o.output, "HELLO++llo");
}

TEST(ApplyPatch, EmptyBaseAndEmptyResult) {
  PatchParts fromNothing;
  fromNothing.newSize = 3;
  fromNothing.triples = {{0, 3, 0}};
  fromNothing.extra = "abc";
  EXPECT_EQ(Apply("", fromNothing.Bytes()).output, "abc");

  PatchParts toNothing;
  toNothing.oldSize = 4;
  const Outcome o = Apply("abcd", toNothing.Bytes());
  EXPECT_FALSE(o.fault);
  EXPECT_EQ(o.output, "");
}

TEST(ApplyPatch, LargeFileIsStreamedInPieces) {
  std::mt19937 random(7);
  std::string base(3 * 1024 * 1024 + 17, '\0');
  for (char& c : base) c = static_cast<char>(random());
  PatchParts p;
  p.oldSize = p.newSize = base.size();
  p.triples = {{base.size(), 0, 0}};
  p.diff.assign(base.size(), '\x01');
  std::string wanted = base;
  for (char& c : wanted) c = static_cast<char>(c + 1);
  EXPECT_EQ(Apply(base, p.Bytes()).output, wanted);
}

// A base stream that records the largest single read.
class CountingStream : public MemoryStream {
 public:
  using MemoryStream::MemoryStream;
  size_t Read(void* buffer, size_t count) override {
    largest = std::max(largest, count);
    return MemoryStream::Read(buffer, count);
  }
  size_t largest = 0;
};

TEST(ApplyPatch, ReadsTheBaseThroughBoundedPieces) {
  const std::string base(1024 * 1024, 'x');
  PatchParts p;
  p.oldSize = p.newSize = base.size();
  p.triples = {{base.size(), 0, 0}};
  p.diff.assign(base.size(), '\0');
  CountingStream baseStream(base);
  MemoryStream patch(p.Bytes()), out;
  delta::ApplyPatch(baseStream, patch, out);
  EXPECT_EQ(out.Data(), base);
  EXPECT_LE(baseStream.largest, 64u * 1024);
}

struct Malformed {
  const char* what;
  std::string patch;
  PatchFault fault;
};

std::string WithTriples(std::vector<ControlTriple> triples, std::uint64_t newSize = 10) {
  PatchParts p = Sample();
  p.triples = std::move(triples);
  p.newSize = newSize;
  return p.Bytes();
}

std::vector<Malformed> MalformedPatches() {
  const PatchParts s = Sample();
  const std::string good = s.Bytes();
  const std::string controlZ = testing_support::Deflated(s.ControlBytes());
  const std::string diffZ = testing_support::Deflated(s.diff);
  const std::string extraZ = testing_support::Deflated(s.extra);
  std::string badMagic = good;
  badMagic[0] = 'X';
  std::string badVersion = good;
  badVersion[8] = 2;
  std::string corrupt = good;
  corrupt[delta::kPatchHeaderSize + controlZ.size()] ^= 0x55;
  PatchParts huge = s;
  huge.newSize = delta::kMaxPatchedSize + 1;
  PatchParts shortDiff = s;
  shortDiff.diff.resize(4);
  PatchParts longExtra = s;
  longExtra.extra += "!";
  PatchParts extraTriple = s;
  extraTriple.triples.push_back({0, 1, 0});
  return {
      {"empty patch", "", PatchFault::BadHeader},
      {"header cut short", good.substr(0, 30), PatchFault::BadHeader},
      {"wrong magic", badMagic, PatchFault::BadHeader},
      {"wrong version", badVersion, PatchFault::BadHeader},
      {"patch cut short", good.substr(0, good.size() - 1), PatchFault::BadHeader},
      {"bytes after the streams", good + "x", PatchFault::BadHeader},
      {"size beyond the limit", huge.Bytes(), PatchFault::BadHeader},
      {"corrupt difference stream", corrupt, PatchFault::BadStream},
      {"raw control bytes", s.Assemble(s.ControlBytes(), diffZ, extraZ), PatchFault::BadStream},
      {"empty triple", WithTriples({{0, 0, 0}, {5, 2, -3}, {3, 0, 0}}), PatchFault::BadStream},
      {"control stream ends early", WithTriples({{5, 2, -3}}), PatchFault::Truncated},
      {"difference stream ends early", shortDiff.Bytes(), PatchFault::Truncated},
      {"compressed stream cut", s.Assemble(controlZ, diffZ.substr(0, diffZ.size() - 2), extraZ),
       PatchFault::Truncated},
      {"diff beyond the base", WithTriples({{9, 1, 0}}), PatchFault::OutOfRange},
      {"diff beyond the base after a seek", WithTriples({{5, 2, 1}, {3, 0, 0}}), PatchFault::OutOfRange},
      {"seek before the start", WithTriples({{5, 2, -6}, {3, 0, 0}}), PatchFault::OutOfRange},
      {"seek past the end", WithTriples({{5, 2, 4}, {3, 0, 0}}), PatchFault::OutOfRange},
      {"most negative seek", WithTriples({{5, 2, INT64_MIN}, {3, 0, 0}}), PatchFault::OutOfRange},
      {"diff beyond the new size", WithTriples({{5, 2, -3}, {3, 0, 0}}, 9), PatchFault::TooLong},
      {"extra beyond the new size", WithTriples({{5, 2, -3}, {3, 0, 0}}, 6), PatchFault::TooLong},
      {"overflowing lengths", WithTriples({{5, UINT64_MAX, 0}}), PatchFault::TooLong},
      {"unused extra bytes", longExtra.Bytes(), PatchFault::TrailingData},
      {"unused control triple", extraTriple.Bytes(), PatchFault::TrailingData},
      {"garbage after a stream", s.Assemble(controlZ, diffZ + "zz", extraZ), PatchFault::TrailingData},
  };
}

TEST(ApplyPatch, MalformedPatchesAreRefused) {
  for (const Malformed& m : MalformedPatches()) {
    const Outcome o = Apply("hello123", m.patch);
    ASSERT_TRUE(o.fault) << m.what;
    EXPECT_EQ(*o.fault, m.fault) << m.what;
  }
}

TEST(ApplyPatch, BaseOfAnotherLengthIsRefused) {
  EXPECT_EQ(Apply("hello1234", Sample().Bytes()).fault, PatchFault::WrongBase);
  EXPECT_EQ(Apply("hello12", Sample().Bytes()).fault, PatchFault::WrongBase);
}

TEST(ApplyPatch, FailedWriteIsReported) {
  EXPECT_EQ(Apply("hello123", Sample().Bytes(), 4).fault, PatchFault::WriteFailed);
}

}  // namespace
