#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/files.h"
#include "platform/system_services.h"
#include "support/test_paths.h"

namespace {
using testing_support::TempDir;

std::string HelperPath() { return testing_support::BinaryDir() + "\\tests\\win32\\programs\\exit_helper.exe"; }

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
    EXPECT_EQ(processes->RunAndWait(Quote(HelperPath()) + " " + std::to_string(code), 0), code);
  }
}

TEST_F(ProcessesTest, RunAndWaitWaitsAndPassesTheWholeCommandLine) {
  const std::string marker = dir / "marker.txt";
  // Longer than 512 characters: nothing may be cut.
  const std::string tail(700, 'x');
  const std::string cmd = Quote(HelperPath()) + " 7 " + Quote(marker) + " 300 \"中文 参数\" " + tail;
  EXPECT_EQ(processes->RunAndWait(cmd, 1), 7u);
  // The helper writes only after its pause, so the file proves the wait.
  ASSERT_TRUE(platform::FileExists(marker));
  EXPECT_EQ(platform::ReadWholeFile(marker).value_or(""), cmd);
}

TEST_F(ProcessesTest, ExeExtensionIsAddedToTheProgramName) {
  std::string withoutExtension = HelperPath();
  withoutExtension.resize(withoutExtension.size() - 4);
  EXPECT_EQ(processes->RunAndWait(Quote(withoutExtension) + " 9", 0), 9u);
}

TEST_F(ProcessesTest, MissingProgramGivesZeroAndFalse) {
  const std::string missing = Quote(dir / "no such program.exe") + " 5";
  EXPECT_EQ(processes->RunAndWait(missing, 0), 0u);
  EXPECT_FALSE(processes->Start(missing, 1));
  // No command interpreter: a built-in command is no program.
  EXPECT_FALSE(processes->Start("echo hello", 1));
}

TEST_F(ProcessesTest, StartDoesNotWait) {
  const std::string marker = dir / "started.txt";
  const std::string cmd = Quote(HelperPath()) + " 0 " + Quote(marker) + " 1500";
  const auto before = std::chrono::steady_clock::now();
  ASSERT_TRUE(processes->Start(cmd, 1));
  // The helper pauses before writing; had Start waited, the file would exist.
  EXPECT_FALSE(platform::FileExists(marker));
  ASSERT_TRUE(WaitForFile(marker));
  EXPECT_EQ(platform::ReadWholeFile(marker).value_or(""), cmd);
  (void)before;
}

}  // namespace
