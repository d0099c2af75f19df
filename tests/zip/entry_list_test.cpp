#include "zip/entry_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zip {
namespace {

// Makes the entries a test lists and keeps them alive.
class Entries {
 public:
  ZipEntry* At(const std::string& fullName, uint32_t offset, uint32_t disk = 0) {
    auto e = std::make_unique<ZipEntry>();
    e->SetFullName(fullName);
    EntryHeader h;
    h.localHeaderOffset32 = offset;
    e->SetHeader(h);
    e->SetDiskNumberStart(disk);
    owned_.push_back(std::move(e));
    return owned_.back().get();
  }

 private:
  std::vector<std::unique_ptr<ZipEntry>> owned_;
};

std::vector<std::string> Names(const EntryList& l) {
  std::vector<std::string> names;
  for (size_t i = 0; i < l.Count(); ++i) names.push_back(l.At(i).FileName());
  return names;
}

TEST(EntryList, KeepsEntriesByDiskThenOffset) {
  Entries make;
  EntryList l;
  EXPECT_TRUE(l.Add(make.At("b", 300)));
  EXPECT_TRUE(l.Add(make.At("z", 10, 1)));
  EXPECT_TRUE(l.Add(make.At("a", 100)));
  EXPECT_TRUE(l.Add(make.At("c", 200)));
  EXPECT_EQ(Names(l), (std::vector<std::string>{"a", "c", "b", "z"}));
}

TEST(EntryList, RefusesASecondEntryAtAPlace) {
  Entries make;
  EntryList l;
  for (uint32_t offset : {5u, 1u, 3u}) l.Add(make.At("e" + std::to_string(offset), offset));
  EXPECT_FALSE(l.Add(make.At("dup", 3)));         // same disk and offset as e3
  EXPECT_TRUE(l.Add(make.At("other-disk", 3, 2)));  // same offset on another disk
  EXPECT_EQ(Names(l), (std::vector<std::string>{"e1", "e3", "e5", "other-disk"}));
}

TEST(EntryList, FindReportsWhereTheKeyIsOrWouldGo) {
  Entries make;
  EntryList l;
  for (uint32_t offset : {10u, 20u, 30u}) l.Add(make.At("x", offset));
  struct {
    uint32_t offset;
    bool found;
    size_t index;
  } const cases[] = {{20, true, 1}, {25, false, 2}, {99, false, 3}, {1, false, 0}, {10, true, 0}, {30, true, 2}};
  for (const auto& c : cases) {
    size_t index = 99;
    EXPECT_EQ(l.Find(*make.At("key", c.offset), index), c.found) << c.offset;
    EXPECT_EQ(index, c.index) << c.offset;
  }
}

}  // namespace
}  // namespace zip
