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

platform::WindowLook TestLook() { return {"AuPostedTaskTest", "posted tasks", 100, 50, {}}; }

// A window needs a display. The unit tier has none; the end-to-end tier runs
// these tests again under its X server, where a missing display is a failure.
class PostedTask : public ::testing::Test {
 protected:
  void SetUp() override {
    if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0) {
      if (GetEnvironmentVariableW(L"AU_REQUIRE_DISPLAY", nullptr, 0) != 0) FAIL() << "no display";
      GTEST_SKIP() << "no display";
    }
  }
};

TEST_F(PostedTask, RunsOnTheWindowsThreadInTheOrderPosted) {
  ClosingEvents events;
  platform::Window window(TestLook(), events);
  const DWORD windowThread = GetCurrentThreadId();
  std::vector<std::string> ran;
  std::vector<DWORD> threads;
  std::thread poster([&] {
    for (const char* name : {"first", "second", "third"}) {
      window.Post([&, name] {
        ran.emplace_back(name);
        threads.push_back(GetCurrentThreadId());
      });
    }
    window.Post([&] { window.RequestClose(); });
  });
  poster.join();
  EXPECT_TRUE(ran.empty());
  window.RunMessageLoop();
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "second", "third"}));
  EXPECT_EQ(threads, (std::vector<DWORD>(3, windowThread)));
}

// Tasks queued behind the close are freed without running, and the message
// loop still ends.
TEST_F(PostedTask, TasksLeftWhenTheWindowClosesAreFreedUnrun) {
  ClosingEvents events;
  platform::Window window(TestLook(), events);
  auto held = std::make_shared<int>(0);
  bool lateTaskRan = false;
  window.Post([&] {
    window.RequestClose();
    window.Post([&lateTaskRan, copy = held] { lateTaskRan = true; });
  });
  window.RunMessageLoop();
  EXPECT_FALSE(lateTaskRan);
  EXPECT_EQ(held.use_count(), 1);
}

TEST_F(PostedTask, TasksStillQueuedWhenTheWindowIsDestroyedAreFreedUnrun) {
  auto held = std::make_shared<int>(0);
  bool ran = false;
  {
    ClosingEvents events;
    platform::Window window(TestLook(), events);
    window.Post([&ran, held] { ran = true; });
    EXPECT_EQ(held.use_count(), 2);
  }
  EXPECT_FALSE(ran);
  EXPECT_EQ(held.use_count(), 1);
}

TEST_F(PostedTask, APostAfterTheWindowIsGoneIsFreedUnrun) {
  ClosingEvents events;
  platform::Window window(TestLook(), events);
  window.Post([&] { window.RequestClose(); });
  window.RunMessageLoop();
  auto held = std::make_shared<int>(0);
  bool ran = false;
  window.Post([&ran, held] { ran = true; });
  EXPECT_EQ(held.use_count(), 1);
  EXPECT_FALSE(ran);
}

}  // namespace
