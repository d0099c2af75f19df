#include "zip/object_list.h"

#include <gtest/gtest.h>

#include "zip/sorted_zip.h"
#include "zip/zip_errors.h"

namespace zip {
namespace {

struct Counted : TObject {
  explicit Counted(int v, int* deaths = nullptr) : value(v), deaths_(deaths) {}
  ~Counted() override {
    if (deaths_) ++*deaths_;
  }
  std::string ClassName() const override { return "Counted"; }
  int value;
  int* deaths_;
};

class IntList : public TSortedObjectList {
 public:
  using TSortedObjectList::TSortedObjectList;
 protected:
  int Compare(const TObject* item, const TObject* key) const override {
    return static_cast<const Counted*>(item)->value - static_cast<const Counted*>(key)->value;
  }
};

int ValueAt(const TObjectList& l, int i) { return static_cast<Counted*>(l.Item(i))->value; }

TEST(ObjectList, GrowthRule) {
  TObjectList l;
  std::vector<int> caps;
  for (int i = 0; i < 30; ++i) {
    l.Add(new Counted(i));
    if (caps.empty() || caps.back() != l.Capacity()) caps.push_back(l.Capacity());
  }
  EXPECT_EQ(caps, (std::vector<int>{4, 8, 16, 32}));
  EXPECT_THROW(l.SetCapacity(10), ListError);
  EXPECT_THROW(l.SetCapacity(0x1FFFFFFF), ListError);
}

TEST(ObjectList, InsertIndexNeighboursAndErrors) {
  TObjectList l;
  auto* a = new Counted(1);
  auto* b = new Counted(2);
  auto* c = new Counted(3);
  l.Add(a);
  l.Add(c);
  l.Insert(1, b);
  EXPECT_EQ(ValueAt(l, 1), 2);
  EXPECT_EQ(l.IndexOf(c), 2);
  EXPECT_EQ(l.First(), a);
  EXPECT_EQ(l.Last(), c);
  EXPECT_EQ(l.Neighbour(a, true), b);
  EXPECT_EQ(l.Neighbour(b, false), a);
  EXPECT_EQ(l.Neighbour(nullptr, true), a);
  EXPECT_EQ(l.Neighbour(nullptr, false), c);
  Counted stranger(9);
  try {
    l.Neighbour(&stranger, true);
    FAIL();
  } catch (const ListError& e) {
    EXPECT_STREQ(e.what(), "tObject Counted not in item list");
  }
  EXPECT_EQ(l.IndexOf(&stranger), -1);
  EXPECT_THROW(l.Item(3), ListError);
  EXPECT_THROW(l.Item(-1), ListError);
  Counted outside(0);
  EXPECT_THROW(l.Insert(5, &outside), ListError);
}

TEST(ObjectList, FreesOwnedItemsOnly) {
  int deaths = 0;
  {
    TObjectList owning;
    owning.Add(new Counted(1, &deaths));
    owning.Add(new Counted(2, &deaths));
  }
  EXPECT_EQ(deaths, 2);
  Counted kept(3, &deaths);
  {
    TObjectList borrowing;
    borrowing.ownsItems = false;
    borrowing.Add(&kept);
  }
  EXPECT_EQ(deaths, 2);
}

TEST(SortedObjectList, DuplicatePolicies) {
  int deaths = 0;
  IntList ignore(0), accept(1), fail(2);
  for (IntList* l : {&ignore, &accept, &fail}) {
    for (int v : {5, 1, 3}) l->Add(new Counted(v));
  }
  Counted dup(3, &deaths);
  ignore.Add(&dup);
  EXPECT_EQ(ignore.Count(), 3);
  try {
    fail.Add(&dup);
    FAIL();
  } catch (const ListError& e) {
    EXPECT_STREQ(e.what(), "Duplicate Object index");
  }
  auto* second = new Counted(3);
  accept.Add(second);
  ASSERT_EQ(accept.Count(), 4);
  EXPECT_EQ(accept.Item(1), second);  // an equal newcomer goes before the others
  EXPECT_EQ(ValueAt(accept, 0), 1);
  EXPECT_EQ(ValueAt(accept, 3), 5);
  EXPECT_EQ(deaths, 0);
}

TEST(SortedObjectList, PutIsRefusedAndFindReportsPositions) {
  IntList l(2);
  for (int v : {10, 20, 30}) l.Add(new Counted(v));
  try {
    l.Put(0, nullptr);
    FAIL();
  } catch (const ListError& e) {
    EXPECT_STREQ(e.what(), "Cannot <Put> an Object in a sorted list!");
  }
  int at = -1;
  Counted k20(20), k25(25), k99(99);
  EXPECT_TRUE(l.Find(&k20, at));
  EXPECT_EQ(at, 1);
  EXPECT_FALSE(l.Find(&k25, at));
  EXPECT_EQ(at, 2);
  EXPECT_FALSE(l.Find(&k99, at));
  EXPECT_EQ(at, 3);
}

ZipEntry* E(const std::string& full, uint32_t time, uint32_t csize, uint32_t usize, uint32_t offset) {
  auto* e = new ZipEntry;
  e->SetFullName(full);
  e->dateTime = time;
  e->compressedSize32 = csize;
  e->uncompressedSize32 = usize;
  e->localHeaderOffset32 = offset;
  return e;
}

struct SortCase {
  EntryOrder mode;
  std::vector<std::string> order;
};

class SortedZipOrder : public ::testing::TestWithParam<SortCase> {};

TEST_P(SortedZipOrder, KeepsEntriesInTheModesOrder) {
  TSortedZip l(1, GetParam().mode);
  const uint32_t d2020 = 0x50A60000, d2021 = 0x52A60000;
  l.Add(E("b\\Zeta.txt", d2020, 50, 100, 300));   // 50 %
  l.Add(E("a\\alpha.txt", d2021, 10, 100, 100));  // 10 %
  l.Add(E("c\\Mid.txt", 0x00000000, 90, 100, 200));  // 90 %, a date that does not convert
  std::vector<std::string> got;
  for (int i = 0; i < l.Count(); ++i) got.push_back(l.Entry(i)->FileName());
  EXPECT_EQ(got, GetParam().order);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SortedZipOrder,
    ::testing::Values(SortCase{EntryOrder::ByName, {"alpha.txt", "Zeta.txt", "Mid.txt"}},
                      SortCase{EntryOrder::ByFileName, {"alpha.txt", "Mid.txt", "Zeta.txt"}},
                      SortCase{EntryOrder::ByFolder, {"alpha.txt", "Zeta.txt", "Mid.txt"}},
                      SortCase{EntryOrder::ByDate, {"alpha.txt", "Zeta.txt", "Mid.txt"}},
                      SortCase{EntryOrder::ByCompressedSize, {"Mid.txt", "Zeta.txt", "alpha.txt"}},
                      SortCase{EntryOrder::ByUncompressedSize, {"Zeta.txt", "alpha.txt", "Mid.txt"}},
                      SortCase{EntryOrder::ByRate, {"Mid.txt", "Zeta.txt", "alpha.txt"}},
                      SortCase{EntryOrder::AsStored, {"alpha.txt", "Mid.txt", "Zeta.txt"}}));

TEST(SortedZip, EqualUncompressedSizesKeepArrivalOrderBehind) {
  TSortedZip l(2, EntryOrder::ByDate);
  l.Add(E("one", 0x50A60000, 1, 1, 0));
  l.Add(E("two", 0x50A60000, 1, 1, 0));  // same date: never equal, so no duplicate error
  EXPECT_EQ(l.Count(), 2);
  EXPECT_EQ(l.Entry(0)->FileName(), "one");
}

TEST(SortedZip, SameDiskAndOffsetIsADuplicateByNone) {
  TSortedZip strict(2), lenient(1);
  strict.Add(E("a", 0, 1, 1, 64));
  auto* dup = E("b", 0, 1, 1, 64);
  EXPECT_THROW(strict.Add(dup), ListError);
  delete dup;
  lenient.Add(E("a", 0, 1, 1, 64));
  lenient.Add(E("b", 0, 1, 1, 64));
  EXPECT_EQ(lenient.Entry(0)->FileName(), "b");
}

TEST(SortedZip, NotesEntriesWithZip64Records) {
  TSortedZip l(2);
  l.Add(E("small", 0, 1, 1, 0));
  EXPECT_FALSE(l.hasZip64);
  auto* big = E("big", 0, 1, 1, 10);
  big->SetUncompressedSize(0x100000000ull);
  l.Add(big);
  EXPECT_TRUE(l.hasZip64);
}

}  // namespace
}  // namespace zip
