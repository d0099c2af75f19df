#include "engine/paths.h"

#include <gtest/gtest.h>

#include "support/platform/ansi_code_page.h"

namespace {

// The installation folder is the updater's folder less 7 bytes as the system
// (code page 936) counts them; a character the cut would split goes whole.
TEST(WithoutLastAnsiBytes, CutsWholeCharactersOfTheSystemCodePage) {
  testing_support::ChineseAnsiCodePage gbk;
  struct Case {
    const char* folder;
    const char* root;
  };
  const Case cases[] = {
      {"D:\\Client\\Update", "D:\\Client"},
      {"C:\\中文\\Update", "C:\\中文"},        // the cut falls between characters
      {"C:\\ZEPRA\\自动更新", "C:\\ZEPRA\\"},  // 8 bytes of four characters: half of 自 goes with it
      {"C:\\软件\\更新程序", "C:\\软件\\"},
      {"C:\\A\\B更新程序x", "C:\\A\\B更"},
      {"C:\\ab\\U中x", "C:\\"},
      {"C:\\x", ""},
      {"C:\\\xF0\x9F\x98\x80\\Update", "C:\\\xF0\x9F\x98\x80"},  // not in GBK: one byte, as the system's '?'
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    EXPECT_EQ(engine::WithoutLastAnsiBytes(c.folder, 7), c.root);
  }
}

}  // namespace
