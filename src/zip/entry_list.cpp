#include "zip/entry_list.h"

namespace zip {
namespace {

template <typename T>
int Ascending(T item, T key) {
  return item < key ? -1 : item > key ? 1 : 0;
}

// Negative when `item` lies before `key`, zero at the same place.
int ComparePlace(const ZipEntry& item, const ZipEntry& key) {
  if (item.DiskNumberStart() != key.DiskNumberStart()) return Ascending(item.DiskNumberStart(), key.DiskNumberStart());
  return Ascending(item.LocalHeaderOffset(), key.LocalHeaderOffset());
}

}  // namespace

bool EntryList::Add(ZipEntry* entry) {
  size_t index = 0;
  if (Find(*entry, index)) return false;
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(index), entry);
  return true;
}

bool EntryList::Find(const ZipEntry& key, size_t& index) const {
  // Signed bounds: `hi` goes below zero when the key sorts first.
  std::ptrdiff_t lo = 0, hi = static_cast<std::ptrdiff_t>(entries_.size()) - 1;
  while (lo <= hi) {
    const std::ptrdiff_t mid = lo + (hi - lo) / 2;
    const int c = ComparePlace(*entries_[static_cast<size_t>(mid)], key);
    if (c == 0) {
      index = static_cast<size_t>(mid);
      return true;
    }
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
    }
  }
  index = static_cast<size_t>(lo);
  return false;
}

}  // namespace zip
