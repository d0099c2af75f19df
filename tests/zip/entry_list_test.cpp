#include "zip/entry_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "zip/zip_errors.h"

namespace zip {
namespace {

// Makes the entries a test lists and keeps them alive.
class Entries {
 public:
  ZipEntry* Make(const std::string& fullName, uint32_t time, uint32_t csize, uint32_t usize, uint32_t offset) {
    auto e = std::make_unique<ZipEntry>();
    e->SetFullName(fullName);
    EntryHeader h;
    h.dateTime = time;
    h.compressedSize32 = csize;
    h.uncompressedSize32 = usize;
    h.localHeaderOffset32 = offset;
    e->SetHeader(h);
    owned_.push_back(std::move(e));
    return owned_.back().get();
  }
  ZipEntry* At(const std::string& fullName, uint32_t offset) { return Make(fullName, 0, 1, 1, offset); }

 private:
  std::vector<std::unique_ptr<ZipEntry>> owned_;
};

std::vector<std::string> Names(const EntryList& l) {
  std::vector<std::string> names;
  for (size_t i = 0; i < l.Count(); ++i) names.push_back(l.At(i).FileName());
  return names;
}

struct OrderCase {
  EntryOrder order;
  std::vector<std::string> names;
};

class EntryListOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(EntryListOrder, KeepsEntriesInTheOrdersSequence) {
  Entries make;
  EntryList l(GetParam().order, Duplicates::Accept);
  const uint32_t d2020 = 0x50A60000, d2021 = 0x52A60000;
  l.Add(make.Make("b\\Zeta.txt", d2020, 50, 100, 300));       // 50 %
  l.Add(make.Make("a\\alpha.txt", d2021, 10, 100, 100));      // 10 %
  l.Add(make.Make("c\\Mid.txt", 0x00000000, 90, 100, 200));  // 90 %, a date that does not convert
  EXPECT_EQ(Names(l), GetParam().names);
}

// Names compare without letter case.
INSTANTIATE_TEST_SUITE_P(
    Orders, EntryListOrder,
    ::testing::Values(OrderCase{EntryOrder::ByName, {"alpha.txt", "Zeta.txt", "Mid.txt"}},
                      OrderCase{EntryOrder::ByFileName, {"alpha.txt", "Mid.txt", "Zeta.txt"}},
                      OrderCase{EntryOrder::ByFolder, {"alpha.txt", "Zeta.txt", "Mid.txt"}},
                      OrderCase{EntryOrder::ByDate, {"alpha.txt", "Zeta.txt", "Mid.txt"}},
                      OrderCase{EntryOrder::ByCompressedSize, {"Mid.txt", "Zeta.txt", "alpha.txt"}},
                      OrderCase{EntryOrder::ByUncompressedSize, {"Zeta.txt", "alpha.txt", "Mid.txt"}},
                      OrderCase{EntryOrder::ByRate, {"Mid.txt", "Zeta.txt", "alpha.txt"}},
                      OrderCase{EntryOrder::AsStored, {"alpha.txt", "Mid.txt", "Zeta.txt"}}));

struct DuplicateCase {
  Duplicates policy;
  bool taken;
  std::string error;  // what() of the ListError, if any
  std::vector<std::string> names;
};

class EntryListDuplicates : public ::testing::TestWithParam<DuplicateCase> {};

TEST_P(EntryListDuplicates, FollowThePolicy) {
  const DuplicateCase& c = GetParam();
  Entries make;
  EntryList l(EntryOrder::AsStored, c.policy);
  for (uint32_t offset : {5u, 1u, 3u}) l.Add(make.At("e" + std::to_string(offset), offset));
  bool taken = false;
  std::string error;
  try {
    taken = l.Add(make.At("dup", 3));  // same disk and offset as e3
  } catch (const ListError& e) {
    error = e.what();
  }
  EXPECT_EQ(taken, c.taken);
  EXPECT_EQ(error, c.error);
  EXPECT_EQ(Names(l), c.names);
}

INSTANTIATE_TEST_SUITE_P(
    Policies, EntryListDuplicates,
    ::testing::Values(DuplicateCase{Duplicates::Ignore, false, "", {"e1", "e3", "e5"}},
                      // An accepted duplicate goes before the equal ones.
                      DuplicateCase{Duplicates::Accept, true, "", {"e1", "dup", "e3", "e5"}},
                      DuplicateCase{Duplicates::Refuse, false, "Duplicate Object index", {"e1", "e3", "e5"}}));

class LargerFirstOrders : public ::testing::TestWithParam<EntryOrder> {};

TEST_P(LargerFirstOrders, AreNeverEqualAndKeepArrivalOrderBehind) {
  Entries make;
  EntryList l(GetParam(), Duplicates::Refuse);
  for (const char* name : {"one", "two", "three"}) EXPECT_TRUE(l.Add(make.Make(name, 0x50A60000, 7, 7, 0)));
  EXPECT_EQ(Names(l), (std::vector<std::string>{"one", "two", "three"}));
}

INSTANTIATE_TEST_SUITE_P(Orders, LargerFirstOrders,
                         ::testing::Values(EntryOrder::ByDate, EntryOrder::ByCompressedSize,
                                           EntryOrder::ByUncompressedSize));

TEST(EntryList, FindReportsWhereTheKeyIsOrWouldGo) {
  Entries make;
  EntryList l(EntryOrder::AsStored, Duplicates::Refuse);
  for (uint32_t offset : {10u, 20u, 30u}) l.Add(make.At("x", offset));
  struct {
    uint32_t offset;
    bool found;
    size_t index;
  } const cases[] = {{20, true, 1}, {25, false, 2}, {99, false, 3}, {1, false, 0}};
  for (const auto& c : cases) {
    size_t index = 99;
    EXPECT_EQ(l.Find(*make.At("key", c.offset), index), c.found) << c.offset;
    EXPECT_EQ(index, c.index) << c.offset;
  }
}

TEST(EntryList, NotesEntriesWithZip64Records) {
  Entries make;
  EntryList l(EntryOrder::AsStored, Duplicates::Refuse);
  l.Add(make.At("small", 0));
  EXPECT_FALSE(l.HasZip64());
  ZipEntry* refused = make.At("refused", 0);
  refused->SetUncompressedSize(0x100000000ull);
  EXPECT_THROW(l.Add(refused), ListError);
  EXPECT_FALSE(l.HasZip64());
  ZipEntry* big = make.At("big", 10);
  big->SetUncompressedSize(0x100000000ull);
  l.Add(big);
  EXPECT_TRUE(l.HasZip64());
}

}  // namespace
}  // namespace zip
