#pragma once
// The entries of an archive, owned elsewhere, in the order of their place in
// the archive (disk, then offset of the local header), each place once.
#include <cstddef>
#include <vector>

#include "zip/zip_entry.h"

namespace zip {

class EntryList {
 public:
  // Puts the entry at its place; false, leaving it out, when another entry
  // already has that place.
  bool Add(ZipEntry* entry);
  // Binary search: whether an entry at the place of `key` is there, and in
  // `index` its position or where `key` would go.
  bool Find(const ZipEntry& key, size_t& index) const;

  size_t Count() const { return entries_.size(); }
  ZipEntry& At(size_t index) const { return *entries_[index]; }

 private:
  std::vector<ZipEntry*> entries_;
};

}  // namespace zip
