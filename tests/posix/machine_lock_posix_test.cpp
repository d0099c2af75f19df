// The machine-wide lock on the host: one holder at a time, also between two
// objects of one process; a holder that ends lets the next one in.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/machine_lock.h"
#include "support/platform/sandbox.h"

namespace {

TEST(MachineLockPosix, OneHolderAtATime) {
  testing_support::Sandbox box;
  platform::MachineLock first("ZEPRA.AutoUpdate"), second("ZEPRA.AutoUpdate"), other("Something.Else");
  EXPECT_TRUE(first.TryTake());
  EXPECT_TRUE(first.TryTake());  // already held
  EXPECT_FALSE(second.TryTake());
  EXPECT_TRUE(other.TryTake());  // another name is another lock
  first.Release();
  EXPECT_FALSE(first.held());
  EXPECT_TRUE(second.TryTake());
  EXPECT_FALSE(first.TryTake());
}

TEST(MachineLockPosix, TheDestructorLetsGo) {
  testing_support::Sandbox box;
  platform::MachineLock waiter("ZEPRA.AutoUpdate");
  {
    platform::MachineLock holder("ZEPRA.AutoUpdate");
    holder.Take();
    EXPECT_FALSE(waiter.TryTake());
  }
  EXPECT_TRUE(waiter.TryTake());
}

TEST(MachineLockPosix, TakeWaitsForTheHolder) {
  testing_support::Sandbox box;
  platform::MachineLock holder("ZEPRA.AutoUpdate");
  ASSERT_TRUE(holder.TryTake());
  const auto start = std::chrono::steady_clock::now();
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    holder.Release();
  });
  platform::MachineLock waiter("ZEPRA.AutoUpdate");
  waiter.Take();
  EXPECT_TRUE(waiter.held());
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  releaser.join();
}

TEST(MachineLockPosix, AHolderThatEndsWithoutLettingGoLetsTheWaiterIn) {
  testing_support::Sandbox box;
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    platform::MachineLock lock("ZEPRA.AutoUpdate");
    const char taken = lock.TryTake() ? 'y' : 'n';
    (void)::write(ready[1], &taken, 1);
    ::sleep(1);
    ::_exit(0);  // ends holding it: no destructor, no Release
  }
  ::close(ready[1]);
  char taken = 0;
  ASSERT_EQ(::read(ready[0], &taken, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(taken, 'y');
  platform::MachineLock waiter("ZEPRA.AutoUpdate");
  EXPECT_FALSE(waiter.TryTake());
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(waiter.TryTake());
}

}  // namespace
