#pragma once
// The binary patch's layout (docs/delta-format.md): a fixed header, then
// the control, difference and extra streams, each zlib-compressed. All
// numbers are little-endian; a seek is two's complement.
#include <cstdint>
#include <string>
#include <string_view>

namespace delta {

inline constexpr std::string_view kPatchMagic = "AUPATCH\x1a";
inline constexpr std::uint32_t kPatchVersion = 1;
inline constexpr std::size_t kPatchHeaderSize = 52;
inline constexpr std::size_t kControlTripleSize = 24;
// Larger sizes are refused, so that sums of them cannot overflow.
inline constexpr std::uint64_t kMaxPatchedSize = std::uint64_t{1} << 50;

struct PatchHeader {
  std::uint64_t oldSize = 0;
  std::uint64_t newSize = 0;
  std::uint64_t controlLength = 0;  // compressed lengths, in this order after the header
  std::uint64_t diffLength = 0;
  std::uint64_t extraLength = 0;
};

// One step of the patch: `diffLength` bytes of the base (from the current
// base position) plus the difference stream, then `extraLength` bytes of the
// extra stream; then the base position moves by `diffLength + seek`.
struct ControlTriple {
  std::uint64_t diffLength = 0;
  std::uint64_t extraLength = 0;
  std::int64_t seek = 0;
};

std::string EncodeHeader(const PatchHeader& header);
// PatchError(BadHeader) unless `bytes` is a header of this version whose
// streams fill exactly `patchSize` bytes.
PatchHeader DecodeHeader(std::string_view bytes, std::uint64_t patchSize);

std::string EncodeTriple(const ControlTriple& triple);
ControlTriple DecodeTriple(const unsigned char* bytes);  // kControlTripleSize bytes

}  // namespace delta
