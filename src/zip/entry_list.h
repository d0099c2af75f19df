#pragma once
// A sorted view of zip entries owned elsewhere, in one of the archive's view
// orders.
#include <cstddef>
#include <vector>

#include "zip/zip_entry.h"

namespace zip {

enum class EntryOrder { ByName, ByFileName, ByFolder, ByDate, ByCompressedSize, ByUncompressedSize, ByRate,
                        AsStored };

// What Add does with an entry equal to one already in the list.
enum class Duplicates {
  Ignore,  // the new entry is not taken
  Accept,  // it goes before the equal ones
  Refuse,  // ListError "Duplicate Object index"
};

class EntryList {
 public:
  EntryList(EntryOrder order, Duplicates duplicates) : order_(order), duplicates_(duplicates) {}

  // Puts the entry at its place in the order; false when it was not taken
  // (an ignored duplicate).
  bool Add(ZipEntry* entry);
  // Binary search: whether an entry equal to `key` is there, and in `index`
  // its position or where `key` would go.
  bool Find(const ZipEntry& key, size_t& index) const;

  size_t Count() const { return entries_.size(); }
  ZipEntry& At(size_t index) const { return *entries_[index]; }
  EntryOrder Order() const { return order_; }
  // An entry with a Zip64 record has been offered to Add (a refused one
  // does not count).
  bool HasZip64() const { return hasZip64_; }

 private:
  // Negative when `item` sorts before `key`, zero when they are equal.
  int Compare(const ZipEntry& item, const ZipEntry& key) const;

  std::vector<ZipEntry*> entries_;
  EntryOrder order_;
  Duplicates duplicates_;
  bool hasZip64_ = false;
};

}  // namespace zip
