#include "platform/win32/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace platform::win32 {
namespace {

struct LocalMemTraits {
  using type = LPWSTR*;
  static bool valid(LPWSTR* p) { return p != nullptr; }
  static void close(LPWSTR* p) { LocalFree(p); }
};

}  // namespace

std::vector<std::string> SplitCommandLine(std::wstring_view commandLine) {
  std::vector<std::string> words;
  const std::wstring line(commandLine);
  if (line.empty()) return words;  // CommandLineToArgvW would give the program's own path
  int count = 0;
  UniqueHandle<LocalMemTraits> argv(CommandLineToArgvW(line.c_str(), &count));
  if (!argv) return words;
  for (int i = 0; i < count; ++i) words.push_back(Narrow(argv.get()[i]));
  return words;
}

}  // namespace platform::win32
