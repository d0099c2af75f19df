#include "zip/entry_list.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "zip/zip_errors.h"

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

template <typename T>
int Ascending(T item, T key) {
  return item < key ? -1 : item > key ? 1 : 0;
}

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

bool EntryList::Add(ZipEntry* entry) {
  size_t index = 0;
  const bool duplicate = Find(*entry, index);
  if (duplicate && duplicates_ == Duplicates::Refuse) throw ListError("Duplicate Object index");
  if (entry->Zip64()) hasZip64_ = true;
  if (duplicate && duplicates_ == Duplicates::Ignore) return false;
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(index), entry);
  return true;
}

bool EntryList::Find(const ZipEntry& key, size_t& index) const {
  // Signed bounds: `hi` goes below zero when the key sorts first.
  std::ptrdiff_t lo = 0, hi = static_cast<std::ptrdiff_t>(entries_.size()) - 1;
  bool found = false;
  while (lo <= hi) {
    const std::ptrdiff_t mid = lo + (hi - lo) / 2;
    const int c = Compare(*entries_[static_cast<size_t>(mid)], key);
    if (c < 0) {
      lo = mid + 1;
      continue;
    }
    hi = mid - 1;
    if (c == 0) {
      found = true;
      // Accepted duplicates go before the equal ones: search on to the first.
      if (duplicates_ != Duplicates::Accept) {
        lo = mid;
        break;
      }
    }
  }
  index = static_cast<size_t>(lo);
  return found;
}

int EntryList::Compare(const ZipEntry& item, const ZipEntry& key) const {
  switch (order_) {
    case EntryOrder::ByName:
      return CompareText(item.Directory() + item.FileName(), key.Directory() + key.FileName());
    case EntryOrder::ByFileName: return CompareText(item.FileName(), key.FileName());
    case EntryOrder::ByFolder: return CompareText(item.Directory(), key.Directory());
    case EntryOrder::ByDate:
      return LargerFirst(SortableDate(item.Header().dateTime), SortableDate(key.Header().dateTime));
    case EntryOrder::ByCompressedSize:
      return LargerFirst(item.Header().compressedSize32, key.Header().compressedSize32);
    case EntryOrder::ByUncompressedSize:
      return LargerFirst(item.Header().uncompressedSize32, key.Header().uncompressedSize32);
    case EntryOrder::ByRate: return Rate(key) - Rate(item);
    case EntryOrder::AsStored:
      if (item.DiskNumberStart() != key.DiskNumberStart()) {
        return Ascending(item.DiskNumberStart(), key.DiskNumberStart());
      }
      return Ascending(item.LocalHeaderOffset(), key.LocalHeaderOffset());
  }
  return 0;
}

}  // namespace zip
