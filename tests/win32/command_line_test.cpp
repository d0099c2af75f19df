#include "platform/process.h"
#include "platform/win32/command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitCommandLine, SystemQuotingRules) {
  struct Case {
    const wchar_t* line;
    std::vector<std::string> words;
  };
  const Case cases[] = {
      {L"", {}},
      {L"prog.exe", {"prog.exe"}},
      {L"prog.exe REG", {"prog.exe", "REG"}},
      {L"\"C:\\Program Files\\AutoUpdate.exe\" \"ZEPRA:?UID=abc&url=http://h:1/\"",
       {"C:\\Program Files\\AutoUpdate.exe", "ZEPRA:?UID=abc&url=http://h:1/"}},
      {L"p  a   b", {"p", "a", "b"}},
      {L"p \"a b\" c", {"p", "a b", "c"}},
      {L"p \"\" x", {"p", "", "x"}},
      {L"p a\\\"b", {"p", "a\"b"}},
      {L"p \"a\\\\\" b", {"p", "a\\", "b"}},
      {L"p C:\\dir\\", {"p", "C:\\dir\\"}},
      {L"p 正在 \"更新 程序\"", {"p", "正在", "更新 程序"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.words));
    EXPECT_EQ(platform::win32::SplitCommandLine(c.line), c.words);
  }
}

TEST(ProcessArguments, WithoutTheProgramName) {
  // The test runner itself is started without arguments of its own beyond
  // gtest's; whatever they are, the program path is not among them.
  for (const std::string& a : platform::ProcessArguments()) {
    EXPECT_EQ(a.find("win32_tests"), std::string::npos) << a;
  }
}

}  // namespace
