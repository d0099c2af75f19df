#include "zip/zip_entry.h"

#include <algorithm>
#include <limits>

namespace zip {
namespace {

// A header field's all-ones value: the real value is in the Zip64 record.
template <typename Field>
constexpr Field kEscape = std::numeric_limits<Field>::max();

// The value a header field stands for: `wide` (the Zip64 record's value,
// when there is a record) in place of the escape.
template <typename Field, typename Wide>
Wide Widened(Field field, const Wide* wide) {
  return field == kEscape<Field> && wide ? *wide : field;
}

// What a header field holds for `value`: the value when it fits below the
// escape, else the escape, with the value handed to `keepWide` for the
// Zip64 record.
template <typename Field, typename Value, typename KeepWide>
Field Narrowed(Value value, KeepWide keepWide) {
  if (value < kEscape<Field>) return static_cast<Field>(value);
  keepWide(value);
  return kEscape<Field>;
}

}  // namespace

uint32_t FixDosDateTime(uint32_t v) {
  unsigned hour = (v >> 11) & 0x1F, minute = (v >> 5) & 0x3F, second = (v & 0x1F) * 2;
  unsigned year = ((v >> 25) & 0x7F) + 1980, month = (v >> 21) & 0x0F, day = (v >> 16) & 0x1F;
  bool clamped = false;
  auto clamp = [&clamped](unsigned& x, unsigned lo, unsigned hi) {
    unsigned c = std::clamp(x, lo, hi);
    if (c != x) {
      x = c;
      clamped = true;
    }
  };
  clamp(hour, 0, 23);
  clamp(minute, 0, 59);
  clamp(second, 0, 59);
  clamp(year, 1980, 2099);
  clamp(month, 1, 12);
  clamp(day, 1, 31);
  if (!clamped) return v;
  uint32_t date = ((year - 1980) << 9) | (month << 5) | day;
  uint32_t time = (hour << 11) | (minute << 5) | (second / 2);
  return (date << 16) | time;
}

uint16_t ZipEntry::NameLength() const {
  return static_cast<uint16_t>(std::min<size_t>(directory_.size() + fileName_.size(), 0xFFFF));
}

void ZipEntry::SetDirectory(const std::string& dir) {
  directory_ = dir;
  if (!directory_.empty() && directory_.back() != '\\') directory_ += '\\';
}

void ZipEntry::SetFullName(const std::string& fullName) {
  size_t cut = fullName.find_last_of("\\:");
  if (cut == std::string::npos) {
    directory_.clear();
    fileName_ = fullName;
  } else {
    directory_ = fullName.substr(0, cut + 1);
    fileName_ = fullName.substr(cut + 1);
  }
}

Zip64Extra& ZipEntry::WritableZip64() {
  if (!zip64_) zip64_.emplace();
  return *zip64_;
}

uint64_t ZipEntry::CompressedSize() const {
  return Widened(header_.compressedSize32, zip64_ ? &zip64_->compressedSize : nullptr);
}
uint64_t ZipEntry::UncompressedSize() const {
  return Widened(header_.uncompressedSize32, zip64_ ? &zip64_->uncompressedSize : nullptr);
}
uint64_t ZipEntry::LocalHeaderOffset() const {
  return Widened(header_.localHeaderOffset32, zip64_ ? &zip64_->localHeaderOffset : nullptr);
}
uint32_t ZipEntry::DiskNumberStart() const {
  return Widened(header_.diskNumberStart16, zip64_ ? &zip64_->diskNumberStart : nullptr);
}

void ZipEntry::SetCompressedSize(uint64_t v) {
  header_.compressedSize32 = Narrowed<uint32_t>(v, [this](uint64_t wide) { WritableZip64().compressedSize = wide; });
}
void ZipEntry::SetUncompressedSize(uint64_t v) {
  header_.uncompressedSize32 =
      Narrowed<uint32_t>(v, [this](uint64_t wide) { WritableZip64().uncompressedSize = wide; });
}
void ZipEntry::SetLocalHeaderOffset(uint64_t v) {
  header_.localHeaderOffset32 =
      Narrowed<uint32_t>(v, [this](uint64_t wide) { WritableZip64().localHeaderOffset = wide; });
}
void ZipEntry::SetDiskNumberStart(uint32_t v) {
  header_.diskNumberStart16 = Narrowed<uint16_t>(v, [this](uint32_t wide) { WritableZip64().diskNumberStart = wide; });
}

uint32_t EndOfCentralDirectory::ThisDisk() const {
  return Widened(fields_.thisDisk16, zip64End_ ? &zip64End_->thisDisk : nullptr);
}
uint32_t EndOfCentralDirectory::CentralDisk() const {
  return Widened(fields_.centralDisk16, zip64End_ ? &zip64End_->centralDisk : nullptr);
}
uint64_t EndOfCentralDirectory::TotalEntries() const {
  return Widened(fields_.totalEntries16, zip64End_ ? &zip64End_->totalEntries : nullptr);
}
uint64_t EndOfCentralDirectory::CentralOffset() const {
  return Widened(fields_.centralOffset32, zip64End_ ? &zip64End_->centralOffset : nullptr);
}

Zip64EndRecord& EndOfCentralDirectory::WritableZip64End() {
  if (!zip64End_) zip64End_.emplace();
  if (!locator_) locator_.emplace();
  return *zip64End_;
}

void EndOfCentralDirectory::SetThisDisk(uint32_t v) {
  fields_.thisDisk16 = Narrowed<uint16_t>(v, [this](uint32_t wide) { WritableZip64End().thisDisk = wide; });
}

void EndOfCentralDirectory::SetCentralDisk(uint32_t v) {
  fields_.centralDisk16 = Narrowed<uint16_t>(v, [this](uint32_t wide) { WritableZip64End().centralDisk = wide; });
}

void EndOfCentralDirectory::SetTotalEntries(uint64_t v) {
  fields_.totalEntries16 = Narrowed<uint16_t>(v, [this](uint64_t wide) {
    WritableZip64End().totalEntries = wide;
    WritableZip64End().entriesThisDisk = wide;
  });
  fields_.entriesThisDisk16 = fields_.totalEntries16;
}

void EndOfCentralDirectory::SetCentralOffset(uint64_t v) {
  fields_.centralOffset32 =
      Narrowed<uint32_t>(v, [this](uint64_t wide) { WritableZip64End().centralOffset = wide; });
}

}  // namespace zip
