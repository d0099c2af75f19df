#include "platform/task_queue.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {
using platform::TaskQueue;

// Runs what the queue holds, oldest first.
int RunAll(TaskQueue& queue) {
  int ran = 0;
  while (TaskQueue::Task task = queue.Pop()) {
    task();
    ++ran;
  }
  return ran;
}

TEST(TaskQueue, TasksComeOutInTheOrderTheyWentIn) {
  TaskQueue queue;
  std::string trail;
  for (char c : std::string("abc")) EXPECT_TRUE(queue.Push([&trail, c] { trail += c; }));
  EXPECT_EQ(trail, "");
  EXPECT_EQ(RunAll(queue), 3);
  EXPECT_EQ(trail, "abc");
  EXPECT_FALSE(queue.Pop());
}

// What it held and what comes later are freed, never run.
TEST(TaskQueue, AClosedQueueFreesItsTasksUnrun) {
  TaskQueue queue;
  auto held = std::make_shared<int>(0);
  bool ran = false;
  queue.Push([&ran, held] { ran = true; });
  queue.Close();
  EXPECT_EQ(held.use_count(), 1);
  EXPECT_FALSE(queue.Push([&ran, held] { ran = true; }));
  EXPECT_EQ(held.use_count(), 1);
  EXPECT_EQ(RunAll(queue), 0);
  EXPECT_FALSE(ran);
}

// Several threads at once: nothing lost, each thread's tasks in its order.
TEST(TaskQueue, PushesFromManyThreadsKeepEachThreadsOrder) {
  constexpr int kThreads = 4, kEach = 500;
  TaskQueue queue;
  std::vector<std::vector<int>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) queue.Push([&seen, t, i] { seen[t].push_back(i); });
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(RunAll(queue), kThreads * kEach);
  std::vector<int> expected;
  for (int i = 0; i < kEach; ++i) expected.push_back(i);
  for (const std::vector<int>& one : seen) EXPECT_EQ(one, expected);
}

}  // namespace
