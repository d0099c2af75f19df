#pragma once
// Tests that need the ANSI code page of the target systems (936, GBK): under
// Wine it already is; the native build is switched to it for the scope.
namespace testing_support {

class ChineseAnsiCodePage {
 public:
  ChineseAnsiCodePage();
  ~ChineseAnsiCodePage();
  ChineseAnsiCodePage(const ChineseAnsiCodePage&) = delete;
  ChineseAnsiCodePage& operator=(const ChineseAnsiCodePage&) = delete;
};

}  // namespace testing_support
