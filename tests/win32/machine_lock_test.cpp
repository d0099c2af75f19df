// The machine-wide lock as a global mutex: one holder at a time, across
// threads and processes; an abandoned one belongs to the next who asks.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/files.h"
#include "platform/machine_lock.h"
#include "platform/win32/wide.h"
#include "support/base/test_paths.h"

namespace {
using platform::MachineLock;
using platform::win32::Widen;

std::string UniqueName(const char* what) {
  return std::string("ZEPRA.Test.") + what + "." + std::to_string(GetCurrentProcessId()) + "." +
         std::to_string(GetTickCount64());
}

// Runs f on a thread of its own and waits for it: a mutex belongs to a thread.
template <typename F>
void OnOtherThread(F f) {
  std::thread t(f);
  t.join();
}

TEST(MachineLockWindows, OneHolderAtATimeAcrossThreads) {
  const std::string name = UniqueName("threads");
  MachineLock mine(name);
  ASSERT_TRUE(mine.TryTake());
  EXPECT_TRUE(mine.TryTake());  // already held: no second count to release
  OnOtherThread([&] {
    MachineLock theirs(name);
    EXPECT_FALSE(theirs.TryTake());
  });
  mine.Release();
  EXPECT_FALSE(mine.held());
  OnOtherThread([&] {
    MachineLock theirs(name);
    EXPECT_TRUE(theirs.TryTake());
    theirs.Release();
  });
}

TEST(MachineLockWindows, TakeWaitsUntilTheHolderLetsGo) {
  const std::string name = UniqueName("wait");
  std::atomic<bool> held{false}, letGo{false};
  std::thread holder([&] {
    MachineLock lock(name);
    lock.Take();
    held = true;
    while (!letGo) Sleep(10);
  });  // the destructor lets go, on the thread that took it
  while (!held) Sleep(10);
  MachineLock waiter(name);
  EXPECT_FALSE(waiter.TryTake());
  const auto start = std::chrono::steady_clock::now();
  std::thread releaser([&] {
    Sleep(300);
    letGo = true;
  });
  waiter.Take();
  EXPECT_TRUE(waiter.held());
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  releaser.join();
  holder.join();
}

class MachineLockAcrossProcesses : public ::testing::Test {
 protected:
  testing_support::TempDir dir;
  // Starts lock_holder.exe; returns its process handle once it holds the lock.
  HANDLE StartHolder(const std::string& name, int holdMs) {
    const std::string program = testing_support::BinaryDir() + "\\tests\\win32\\programs\\lock_holder.exe";
    const std::string ready = dir / "ready";
    platform::RemoveFile(ready);
    std::wstring line = Widen("\"" + program + "\" " + name + " \"" + ready + "\" " + std::to_string(holdMs));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
    CloseHandle(pi.hThread);
    for (int i = 0; i < 300 && !platform::FileExists(ready); ++i) Sleep(100);
    return pi.hProcess;
  }
  static DWORD WaitForExit(HANDLE process) {
    WaitForSingleObject(process, 60000);
    DWORD code = 99;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
  }
};

TEST_F(MachineLockAcrossProcesses, AnotherProcessHoldingItShutsUsOut) {
  const std::string name = UniqueName("process");
  MachineLock lock(name);
  HANDLE holder = StartHolder(name, 1500);
  ASSERT_NE(holder, nullptr);
  EXPECT_FALSE(lock.TryTake());
  EXPECT_EQ(WaitForExit(holder), 0u);
  EXPECT_TRUE(lock.TryTake());  // abandoned by the ended holder: ours now
  lock.Release();
}

TEST_F(MachineLockAcrossProcesses, AHolderThatEndedWithoutLettingGoLeavesItToUs) {
  const std::string name = UniqueName("abandoned");
  MachineLock lock(name);
  HANDLE holder = StartHolder(name, 0);
  ASSERT_NE(holder, nullptr);
  EXPECT_EQ(WaitForExit(holder), 0u);
  EXPECT_TRUE(lock.TryTake());
  EXPECT_TRUE(lock.held());
  // The other side sees us as the holder.
  HANDLE second = StartHolder(name, 0);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(WaitForExit(second), 2u);
  lock.Release();
}

}  // namespace
