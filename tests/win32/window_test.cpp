#include "platform/window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// A window that is never shown and closes when asked.
class ClosingEvents : public platform::WindowEvents {
 public:
  void OnPaint(platform::Canvas&) override {}
  void OnShown() override {}
  bool OnCloseRequest() override { return true; }
  bool OnMouseDown(int, int) override { return false; }
  void OnMouseUp(int, int) override {}
};

// A window needs a display. The unit tier has none; the end-to-end tier runs
// this test again under its X server, where a missing display is a failure.
TEST(PostedTask, RunOnTheWindowsThreadInOrderUntilTheWindowCloses) {
  if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0) {
    if (GetEnvironmentVariableW(L"AU_REQUIRE_DISPLAY", nullptr, 0) != 0) FAIL() << "no display";
    GTEST_SKIP() << "no display";
  }
  ClosingEvents events;
  platform::Window window({"AuPostedTaskTest", "posted tasks", 100, 50, {}}, events);
  std::vector<std::string> ran;
  std::vector<DWORD> threads;
  auto held = std::make_shared<int>(0);
  std::thread poster([&] {
    for (const char* name : {"first", "second", "third"}) {
      window.Post([&, name] {
        ran.emplace_back(name);
        threads.push_back(GetCurrentThreadId());
      });
    }
    // A task still waiting when the window goes is freed without running.
    window.Post([&] {
      window.RequestClose();
      window.Post([&ran, copy = held] { ran.emplace_back("late"); });
    });
  });
  poster.join();
  EXPECT_TRUE(ran.empty());
  window.RunMessageLoop();
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "second", "third"}));
  EXPECT_EQ(threads, (std::vector<DWORD>(3, GetCurrentThreadId())));
  EXPECT_EQ(held.use_count(), 1);
}

}  // namespace
