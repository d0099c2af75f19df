#pragma once
// A sorted list of zip entries in one of the archive's view orders.
#include "zip/object_list.h"
#include "zip/zip_entry.h"

namespace zip {

enum class TZipSortMode { ByName, ByFileName, ByDirectoryName, ByDate, ByCompressedSize, ByUnCompressedSize,
                          ByRate, ByNone };

class TSortedZip : public TSortedObjectList {
 public:
  explicit TSortedZip(int duplicates, TZipSortMode mode = TZipSortMode::ByNone)
      : TSortedObjectList(duplicates), sortMode(mode) {}
  int Add(TObject* item) override;
  TZipHeaderInfo* Entry(int index) const { return static_cast<TZipHeaderInfo*>(Item(index)); }

  TZipSortMode sortMode;
  bool hasZip64 = false;  // an added entry holds a Zip64 record

 protected:
  int Compare(const TObject* item, const TObject* key) const override;
};

}  // namespace zip
