#include "app/posted_report.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace {
using app::Status;

// Records what reaches it, in order, as text.
class RecordingReport : public app::IProgressReport {
 public:
  void OnStatus(Status status) override { calls.push_back("status " + std::to_string(static_cast<int>(status))); }
  void OnProgress(std::int32_t done, std::int32_t total) override {
    calls.push_back("progress " + std::to_string(done) + "/" + std::to_string(total));
  }
  void OnError(std::string text) override { calls.push_back("error " + text); }
  void OnRefusal(std::string text) override { calls.push_back("refusal " + text); }
  std::vector<std::string> calls;
};

// The target's thread: tasks wait in a queue until it runs them.
struct Relay {
  std::deque<std::function<void()>> queue;
  RecordingReport target;
  app::PostedReport report{[this](std::function<void()> task) { queue.push_back(std::move(task)); }, target};

  void RunQueued() {
    while (!queue.empty()) {
      std::function<void()> task = std::move(queue.front());
      queue.pop_front();
      task();
    }
  }
};

TEST(PostedReport, EachCallArrivesUnchangedOnlyWhenItsTaskRuns) {
  struct Case {
    std::function<void(app::IProgressReport&)> call;
    std::string arrives;
  };
  const Case cases[] = {
      {[](auto& r) { r.OnStatus(Status::Waiting); }, "status 0"},
      {[](auto& r) { r.OnStatus(Status::Finished); }, "status 5"},
      {[](auto& r) { r.OnProgress(3, 4); }, "progress 3/4"},
      {[](auto& r) { r.OnProgress(-1, 0); }, "progress -1/0"},
      {[](auto& r) { r.OnError("line one\r\nline two"); }, "error line one\r\nline two"},
      {[](auto& r) { r.OnError(""); }, "error "},
      {[](auto& r) { r.OnRefusal("您拒绝使用网页指定的更新服务器“h:1”，本次没有更新。"); },
       "refusal 您拒绝使用网页指定的更新服务器“h:1”，本次没有更新。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arrives);
    Relay relay;
    c.call(relay.report);
    EXPECT_TRUE(relay.target.calls.empty());
    ASSERT_EQ(relay.queue.size(), 1u);
    relay.RunQueued();
    EXPECT_EQ(relay.target.calls, std::vector<std::string>{c.arrives});
  }
}

// In the order made; the caller's text may be gone before the task runs.
TEST(PostedReport, CallsArriveInOrderWithCopiesOfTheirTexts) {
  Relay relay;
  {
    std::string text = "first";
    relay.report.OnStatus(Status::Updating);
    relay.report.OnError(text);
    text = "changed";
    relay.report.OnProgress(1, 2);
    relay.report.OnRefusal(text);
  }
  relay.RunQueued();
  EXPECT_EQ(relay.target.calls,
            (std::vector<std::string>{"status 3", "error first", "progress 1/2", "refusal changed"}));
}

}  // namespace
