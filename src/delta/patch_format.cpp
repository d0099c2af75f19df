#include "delta/patch_format.h"

#include "delta/patch_error.h"

namespace delta {
namespace {

void PutLe(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

std::uint64_t GetLe(const unsigned char* in, int bytes) {
  std::uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | in[i];
  return value;
}

PatchError HeaderError(const std::string& why) { return PatchError(PatchFault::BadHeader, "补丁头无效：" + why); }

}  // namespace

std::string EncodeHeader(const PatchHeader& header) {
  std::string out(kPatchMagic);
  PutLe(out, kPatchVersion, 4);
  for (std::uint64_t value :
       {header.oldSize, header.newSize, header.controlLength, header.diffLength, header.extraLength}) {
    PutLe(out, value, 8);
  }
  return out;
}

PatchHeader DecodeHeader(std::string_view bytes, std::uint64_t patchSize) {
  if (bytes.size() < kPatchHeaderSize || bytes.substr(0, kPatchMagic.size()) != kPatchMagic) {
    throw HeaderError("不是补丁文件");
  }
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data()) + kPatchMagic.size();
  if (GetLe(in, 4) != kPatchVersion) throw HeaderError("版本不受支持");
  in += 4;
  PatchHeader header;
  std::uint64_t* fields[] = {&header.oldSize, &header.newSize, &header.controlLength, &header.diffLength,
                             &header.extraLength};
  for (std::uint64_t* field : fields) {
    *field = GetLe(in, 8);
    in += 8;
    if (*field > kMaxPatchedSize) throw HeaderError("长度超出范围");
  }
  const std::uint64_t streams = header.controlLength + header.diffLength + header.extraLength;
  if (patchSize < kPatchHeaderSize || streams != patchSize - kPatchHeaderSize) {
    throw HeaderError("各段长度与补丁大小不符");
  }
  return header;
}

std::string EncodeTriple(const ControlTriple& triple) {
  std::string out;
  PutLe(out, triple.diffLength, 8);
  PutLe(out, triple.extraLength, 8);
  PutLe(out, static_cast<std::uint64_t>(triple.seek), 8);
  return out;
}

ControlTriple DecodeTriple(const unsigned char* bytes) {
  return {GetLe(bytes, 8), GetLe(bytes + 8, 8), static_cast<std::int64_t>(GetLe(bytes + 16, 8))};
}

}  // namespace delta
