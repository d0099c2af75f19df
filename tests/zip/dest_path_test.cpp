#include "zip/dest_path.h"

#include <gtest/gtest.h>

namespace zip {
namespace {

struct MapCase {
  std::string dest, dir, root;
  std::string expected;
};

class MapDestinationDirTable : public ::testing::TestWithParam<MapCase> {};

TEST_P(MapDestinationDirTable, Maps) {
  const MapCase& c = GetParam();
  EXPECT_EQ(MapDestinationDir(c.dest, c.dir, c.root), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, MapDestinationDirTable,
    ::testing::Values(
        MapCase{"D:\\App", "bin\\", "D:\\App\\", "D:\\App\\bin\\"},
        MapCase{"D:\\App", "", "D:\\App\\", "D:\\App\\"},
        MapCase{"D:", "bin\\", "D:\\", "D:\\bin\\"},                            // drive root kept as the root
        MapCase{"D:\\App", "\\abs\\", "D:\\App\\", "D:\\App\\abs\\"},         // leading backslash stays inside
        MapCase{"D:\\App", "C:\\x\\", "D:\\App\\", "D:\\App\\x\\"},           // a drive is dropped
        MapCase{"", "\\abs\\", "x\\", "\\abs\\"},
        MapCase{"D:\\App", "D:\\App\\bin\\", "d:\\app\\", "D:\\App\\bin\\"},  // root prefix cut, any case
        MapCase{"D:\\App", "d:\\APP\\", "D:\\App\\", "D:\\App\\"},
        MapCase{"D:\\App", "D:\\Apple\\", "D:\\App\\", "D:\\App\\Apple\\"},  // no cut inside a name
        MapCase{"D:\\App", "bin\\", "", "D:\\App\\bin\\"}));

struct SafeCase {
  std::string dir, name;
  bool safe;
};

class EntryNameGuard : public ::testing::TestWithParam<SafeCase> {};

TEST_P(EntryNameGuard, AcceptsOnlyPlainComponents) {
  EXPECT_EQ(IsSafeEntryName(GetParam().dir, GetParam().name), GetParam().safe)
      << GetParam().dir << "|" << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, EntryNameGuard,
                         ::testing::Values(SafeCase{"bin\\", "a.dll", true}, SafeCase{"", "a..b", true},
                                           SafeCase{".\\", "x", true}, SafeCase{"..\\", "x", false},
                                           SafeCase{"a\\..\\..\\", "x", false}, SafeCase{"", "..", false},
                                           SafeCase{"a\\.. \\", "x", false}, SafeCase{"a\\...\\", "x", false},
                                           SafeCase{"..a\\", "x", true},
                                           // A NUL cuts the Win32 path: "a.dll<NUL>x" would be a.dll itself.
                                           SafeCase{"", std::string("a.dll\0x", 7), false},
                                           SafeCase{"bin\x01\\", "a", false}, SafeCase{"", "a\tb", false},
                                           // Streams: a colon only as a leading drive.
                                           SafeCase{"C:\\x\\", "a.dll", true}, SafeCase{"C:", "a.dll", true},
                                           SafeCase{"a.dll:", "evil", false}, SafeCase{"x\\C:\\", "a", false},
                                           SafeCase{"\\abs\\", "a", true},
                                           // Devices, in any case, with extensions, dots and blanks.
                                           SafeCase{"", "CON", false}, SafeCase{"", "nul.txt", false},
                                           SafeCase{"", "Com1.dll", false}, SafeCase{"lpt9 \\", "x", false},
                                           SafeCase{"", "aux .", false}, SafeCase{"", "CONOUT$", false},
                                           SafeCase{"", "COM10", true}, SafeCase{"", "console.dll", true},
                                           SafeCase{"", "a|b", false}, SafeCase{"", "a?", false}));

}  // namespace
}  // namespace zip
