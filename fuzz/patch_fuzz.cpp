// Applies an arbitrary byte string as a patch to a base taken from its
// front (the first byte says how long). The applier must refuse what it
// cannot apply with a PatchError and never write beyond the size the patch
// declares.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "delta/patch_applier.h"
#include "delta/patch_error.h"
#include "zip/stream.h"

namespace {

class Bytes : public zip::Stream {
 public:
  explicit Bytes(std::string data) : data_(std::move(data)) {}
  size_t Read(void* buffer, size_t count) override {
    const size_t n = pos_ >= data_.size() ? 0 : std::min(count, data_.size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return n;
  }
  size_t Write(const void* buffer, size_t count) override {
    data_.append(static_cast<const char*>(buffer), count);
    return count;
  }
  int64_t Seek(int64_t offset, int origin) override {
    const int64_t from = origin == zip::SeekFromStart ? 0
                         : origin == zip::SeekFromCurrent ? static_cast<int64_t>(pos_)
                                                          : static_cast<int64_t>(data_.size());
    if (from + offset < 0) return -1;
    pos_ = static_cast<size_t>(from + offset);
    return from + offset;
  }
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  bool SetSize(int64_t) override { return false; }
  const std::string& data() const { return data_; }

 private:
  std::string data_;
  size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t baseLength = std::min<size_t>(data[0], size - 1);
  Bytes base(std::string(reinterpret_cast<const char*>(data) + 1, baseLength));
  Bytes patch(std::string(reinterpret_cast<const char*>(data) + 1 + baseLength, size - 1 - baseLength));
  Bytes output("");
  try {
    const uint64_t written = delta::ApplyPatch(base, patch, output);
    if (written != output.data().size()) std::abort();
  } catch (const delta::PatchError&) {
  }
  return 0;
}
