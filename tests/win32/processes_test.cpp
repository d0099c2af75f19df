#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/files.h"
#include "platform/system_services.h"
#include "platform/win32/wide.h"
#include "support/base/test_paths.h"

namespace {
using platform::win32::Widen;
using testing_support::TempDir;

std::string HelperPath() { return testing_support::BinaryDir() + "\\tests\\win32\\programs\\exit_helper.exe"; }

std::string RecorderPath() {
  return testing_support::BinaryDir() + "\\tests\\win32\\programs\\command_recorder.exe";
}

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

// Waits up to 30 s for a file to appear.
bool WaitForFile(const std::string& path) {
  for (int i = 0; i < 300; ++i) {
    if (platform::FileExists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

class ProcessesTest : public ::testing::Test {
 protected:
  std::unique_ptr<platform::IProcessLauncher> processes = platform::CreateSystemServices().processes;
  TempDir dir;
};

TEST_F(ProcessesTest, RunAndWaitReturnsTheExitCode) {
  for (unsigned code : {0u, 1u, 42u, 255u, 3000000000u}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(processes->RunAndWait(HelperPath(), Quote(HelperPath()) + " " + std::to_string(code), 0), code);
  }
}

TEST_F(ProcessesTest, RunAndWaitWaitsAndPassesTheWholeCommandLine) {
  const std::string marker = dir / "marker.txt";
  // Longer than 512 characters: nothing may be cut.
  const std::string tail(700, 'x');
  const std::string cmd = Quote(HelperPath()) + " 7 " + Quote(marker) + " 300 \"中文 参数\" " + tail;
  EXPECT_EQ(processes->RunAndWait(HelperPath(), cmd, 1), 7u);
  // The helper writes only after its pause, so the file proves the wait.
  ASSERT_TRUE(platform::FileExists(marker));
  EXPECT_EQ(platform::ReadWholeFile(marker).value_or(""), cmd);
}

TEST_F(ProcessesTest, TheProgramGivenRunsNotOneFoundFromTheCommandLine) {
  // A folder with a blank, and a program planted where the unquoted command
  // line would be cut: "<dir>\\My.exe" must not run for "<dir>\\My Tools\\rec.exe".
  // Both are the command recorder, which writes "<own name>.log".
  platform::CreateDir(dir / "My Tools");
  const std::string program = dir / "My Tools\\rec.exe";
  ASSERT_TRUE(CopyFileW(Widen(RecorderPath()).c_str(), Widen(program).c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(Widen(RecorderPath()).c_str(), Widen(dir / "My.exe").c_str(), FALSE));
  EXPECT_EQ(processes->RunAndWait(program, program + " /x", 0), 0u);
  EXPECT_EQ(platform::ReadWholeFile(dir / "My Tools\\rec.log").value_or(""), program + " /x\n");
  EXPECT_FALSE(platform::FileExists(dir / "My.log"));
}

TEST_F(ProcessesTest, NothingIsSearchedFor) {
  const std::string missing = dir / "no such program.exe";
  EXPECT_EQ(processes->RunAndWait(missing, Quote(missing) + " 5", 0), 0u);
  EXPECT_FALSE(processes->Start(missing, Quote(missing) + " 5", 1));
  // No ".exe" added, no relative name looked up, no command interpreter.
  std::string withoutExtension = HelperPath();
  withoutExtension.resize(withoutExtension.size() - 4);
  EXPECT_EQ(processes->RunAndWait(withoutExtension, Quote(withoutExtension) + " 9", 0), 0u);
  EXPECT_EQ(processes->RunAndWait("exit_helper.exe", "exit_helper.exe 9", 0), 0u);
  EXPECT_FALSE(processes->Start("echo", "echo hello", 1));
}

TEST_F(ProcessesTest, StartDoesNotWait) {
  const std::string marker = dir / "started.txt";
  const std::string cmd = Quote(HelperPath()) + " 0 " + Quote(marker) + " 1500";
  const auto before = std::chrono::steady_clock::now();
  ASSERT_TRUE(processes->Start(HelperPath(), cmd, 1));
  // The helper pauses before writing; had Start waited, the file would exist.
  EXPECT_FALSE(platform::FileExists(marker));
  ASSERT_TRUE(WaitForFile(marker));
  EXPECT_EQ(platform::ReadWholeFile(marker).value_or(""), cmd);
  (void)before;
}

}  // namespace
