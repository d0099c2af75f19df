#pragma once
// A sorted list of zip entries in one of the archive's view orders.
#include "zip/object_list.h"
#include "zip/zip_entry.h"

namespace zip {

enum class EntryOrder { ByName, ByFileName, ByFolder, ByDate, ByCompressedSize, ByUncompressedSize, ByRate,
                        AsStored };

class TSortedZip : public TSortedObjectList {
 public:
  explicit TSortedZip(int duplicates, EntryOrder mode = EntryOrder::AsStored)
      : TSortedObjectList(duplicates), sortMode(mode) {}
  int Add(TObject* item) override;
  ZipEntry* Entry(int index) const { return static_cast<ZipEntry*>(Item(index)); }

  EntryOrder sortMode;
  bool hasZip64 = false;  // an added entry holds a Zip64 record

 protected:
  int Compare(const TObject* item, const TObject* key) const override;
};

}  // namespace zip
