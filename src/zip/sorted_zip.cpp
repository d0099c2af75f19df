#include "zip/sorted_zip.h"

#include <cctype>
#include <cmath>

namespace zip {
namespace {

int CompareText(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ca = std::toupper(static_cast<unsigned char>(a[i]));
    int cb = std::toupper(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca - cb;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// Larger first and never equal: equal values keep their arrival order
// behind the ones already in the list.
int LargerFirst(uint64_t item, uint64_t key) { return item >= key ? -1 : 1; }

int Rate(const ZipEntry& e) {
  uint64_t u = e.UncompressedSize();
  if (u == 0) return 0;
  double pct = std::round(static_cast<double>(e.CompressedSize()) * 100.0 / static_cast<double>(u));
  return pct > 100.0 ? 100 : static_cast<int>(pct);
}

// An MS-DOS date that does not make a calendar date counts as zero.
uint32_t SortableDate(uint32_t v) {
  unsigned month = (v >> 21) & 0x0F, day = (v >> 16) & 0x1F;
  unsigned hour = (v >> 11) & 0x1F, minute = (v >> 5) & 0x3F, second = (v & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) return 0;
  return v;
}

}  // namespace

int TSortedZip::Add(TObject* item) {
  int r = TSortedObjectList::Add(item);
  if (static_cast<ZipEntry*>(item)->zip64) hasZip64 = true;
  return r;
}

int TSortedZip::Compare(const TObject* itemObj, const TObject* keyObj) const {
  const auto& item = *static_cast<const ZipEntry*>(itemObj);
  const auto& key = *static_cast<const ZipEntry*>(keyObj);
  switch (sortMode) {
    case EntryOrder::ByName:
      return CompareText(item.Directory() + item.FileName(), key.Directory() + key.FileName());
    case EntryOrder::ByFileName: return CompareText(item.FileName(), key.FileName());
    case EntryOrder::ByFolder: return CompareText(item.Directory(), key.Directory());
    case EntryOrder::ByDate: return LargerFirst(SortableDate(item.dateTime), SortableDate(key.dateTime));
    case EntryOrder::ByCompressedSize: return LargerFirst(item.compressedSize32, key.compressedSize32);
    case EntryOrder::ByUncompressedSize: return LargerFirst(item.uncompressedSize32, key.uncompressedSize32);
    case EntryOrder::ByRate: return Rate(key) - Rate(item);
    case EntryOrder::AsStored:
      if (item.DiskNumberStart() != key.DiskNumberStart()) return item.DiskNumberStart() < key.DiskNumberStart() ? -1 : 1;
      if (item.LocalHeaderOffset() != key.LocalHeaderOffset()) {
        return item.LocalHeaderOffset() < key.LocalHeaderOffset() ? -1 : 1;
      }
      return 0;
  }
  return 0;
}

}  // namespace zip
