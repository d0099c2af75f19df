#include "app/update_worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/server_address.h"
#include "engine/update_engine.h"
#include "platform/files.h"
#include "platform/machine_lock.h"
#include "support/app/user_run_fixture.h"
#include "support/zip/zip_builder.h"

namespace {
using EngineTest = app_testing::UserRunTest;
using engine_testing::kConfigName;
using engine_testing::kServer;

// Records what the worker reports, in order, as text: "connecting",
// "p0/2", "error:text".
class RecordingReport : public app::IProgressReport {
 public:
  void OnStatus(app::Status status) override {
    Add(Name(status), status == app::Status::Finished || status == app::Status::Current);
  }
  void OnError(std::string text) override { Add("error:" + text, true); }
  void OnRefusal(std::string text) override { Add("refusal:" + text, true); }
  void OnProgress(std::int32_t done, std::int32_t total) override {
    Add("p" + std::to_string(done) + "/" + std::to_string(total), false);
  }
  std::vector<std::string> WaitForEnd() {
    return WaitUntil([&] { return ended_; });
  }
  // What was posted once the first report came: a worker's thread may be
  // slow to start on a busy machine.
  std::vector<std::string> WaitForFirst() {
    return WaitUntil([&] { return !posted_.empty(); });
  }
  std::vector<std::string> Snapshot() {
    std::lock_guard lock(mutex_);
    return posted_;
  }
  std::vector<std::string> posted_;
  bool letGoBeforeTheEnd_ = false;

 private:
  static std::string Name(app::Status status) {
    switch (status) {
      case app::Status::Waiting: return "waiting";
      case app::Status::Connecting: return "connecting";
      case app::Status::Checking: return "checking";
      case app::Status::Updating: return "updating";
      case app::Status::Current: return "current";
      case app::Status::Finished: return "finished";
    }
    return "?";
  }
  template <typename Done>
  std::vector<std::string> WaitUntil(Done done) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, std::chrono::seconds(30), done);
    return posted_;
  }
  void Add(std::string s, bool last) {
    // The window closes on the last report and the program ends soon after:
    // by then the run must have let go of the updaters' lock.
    const bool letGo = last && platform::MachineLock(app::kUpdaterLockName).TryTake();
    std::lock_guard lock(mutex_);
    letGoBeforeTheEnd_ = letGoBeforeTheEnd_ || letGo;
    posted_.push_back(std::move(s));
    ended_ = ended_ || last;
    cv_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable cv_;
  bool ended_ = false;
};

class Worker : public EngineTest {
 protected:
  static app::LaunchParams Params() {
    app::LaunchParams params;
    params.appName = "ZEPRA";
    params.serverUrl = kServer;
    return params;
  }
  std::vector<std::string> RunWorker() {
    app::UpdateWorker worker(Params(), report, services, engine::NewServer::Trusted, notices);
    worker.Execute();
    return report.posted_;
  }
  RecordingReport report;
};

TEST_F(Worker, AlreadyCurrent) {
  UseLocalConfig("<data><ZEPRA><a.dll Version=\"1\"/></ZEPRA></data>");
  ServeManifest("<data><ZEPRA><a.dll Version=\"1\" IsReplace=\"1\"/></ZEPRA></data>");
  WriteAppFile("a.dll", "x");
  EXPECT_EQ(RunWorker(), (std::vector<std::string>{"connecting", "checking", "current"}));
  EXPECT_TRUE(report.letGoBeforeTheEnd_);
}

TEST_F(Worker, UpdateWithProgressThenFinished) {
  UseLocalConfig("<data/>");
  ServeManifest("<data><ZEPRA><a.dll Version=\"2\" FileName=\"a.zip\"/><b.dll Version=\"2\" FileName=\"b.zip\"/></ZEPRA></data>");
  web.Serve(std::string(kServer) + "clientfile/a.zip", testing_support::ZipBuilder().File("a.dll", "A").Bytes());
  web.Serve(std::string(kServer) + "clientfile/b.zip", testing_support::ZipBuilder().File("b.dll", "B").Bytes());
  EXPECT_EQ(RunWorker(), (std::vector<std::string>{"connecting", "checking", "updating", "p0/4", "p1/4", "p2/4", "p3/4", "p4/4",
                                      "finished"}));
  EXPECT_EQ(ReadAppFile("b.dll"), "B");
  EXPECT_TRUE(report.letGoBeforeTheEnd_);
}

// Removes the client configuration when the first progress step arrives, so
// that the recording after the downloads fails.
class RemovingReport : public app::IProgressReport {
 public:
  RemovingReport(RecordingReport& inner, std::string path) : inner_(inner), path_(std::move(path)) {}
  void OnStatus(app::Status status) override { inner_.OnStatus(status); }
  void OnError(std::string text) override { inner_.OnError(std::move(text)); }
  void OnRefusal(std::string text) override { inner_.OnRefusal(std::move(text)); }
  void OnProgress(std::int32_t done, std::int32_t total) override {
    platform::RemoveFile(path_);
    inner_.OnProgress(done, total);
  }

 private:
  RecordingReport& inner_;
  std::string path_;
};

TEST_F(Worker, ErrorDuringTheRunEndsWithItsText) {
  UseLocalConfig("<data/>");
  ServeManifest("<data><ZEPRA><a.dll Version=\"2\" FileName=\"a.zip\"/></ZEPRA></data>");
  web.Serve(std::string(kServer) + "clientfile/a.zip", testing_support::ZipBuilder().File("a.dll", "A").Bytes());
  RemovingReport removing(report, AppPath(kConfigName));
  app::UpdateWorker worker(Params(), removing, services, engine::NewServer::Trusted, notices);
  worker.Execute();
  ASSERT_EQ(report.posted_.size(), 6u);
  EXPECT_EQ((std::vector<std::string>(report.posted_.begin(), report.posted_.begin() + 5)),
            (std::vector<std::string>{"connecting", "checking", "updating", "p0/2", "p1/2"}));
  EXPECT_EQ(report.posted_[5].substr(0, 6), "error:");
  EXPECT_NE(report.posted_[5].find(AppPath(kConfigName)), std::string::npos);
  EXPECT_TRUE(report.letGoBeforeTheEnd_);
}

// A server the user declined ends the run with the refusal, which tells the
// window to hand the client program no address.
TEST_F(Worker, ADeclinedServerEndsWithTheRefusal) {
  messages.answer = platform::IdNo;
  app::UpdateWorker worker(Params(), report, services, engine::NewServer::AskFirst, notices);
  worker.Execute();
  EXPECT_EQ(report.posted_, (std::vector<std::string>{
                                "connecting", "refusal:您拒绝使用网页指定的更新服务器“10.0.0.5:8080”，本次没有更新。"}));
  EXPECT_TRUE(web.requested.empty());
  EXPECT_TRUE(report.letGoBeforeTheEnd_);
}

TEST_F(Worker, FailedSetUpIsShownAndTheApplicationCountsAsCurrent) {
  web.Unreachable();
  EXPECT_EQ(RunWorker(), (std::vector<std::string>{"connecting", "checking", "current"}));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].caption, "AutoUpdate");
  EXPECT_NE(messages.shown[0].text.find("12029"), std::string::npos);
}

// An address a web page gave that could name another host is refused with
// the reason and the form an address must have.
TEST_F(Worker, AnUnclearAddressEndsWithTheRefusal) {
  app::LaunchParams params = Params();
  params.serverUrl = "http://a@b/";
  app::UpdateWorker worker(params, report, services, engine::NewServer::AskFirst, notices);
  worker.Execute();
  EXPECT_EQ(report.posted_,
            (std::vector<std::string>{
                "connecting", "refusal:网页指定的更新服务器地址“http://a@b/”无效，本次没有更新。\r\n"
                     "地址应为“http://主机名:端口/路径”：主机名只能由英文字母、数字、“-”、“_”和“.”组成（中文域名须写成 "
                     "punycode 形式），端口必须是 1 到 65535 之间的数字。"}));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(web.requested.empty());
}

// An address that would make the configuration's name a path is shown in
// the application's wording, and the client counts as current.
TEST_F(Worker, AnUnusableAddressIsShownInItsText) {
  app::LaunchParams params = Params();
  params.serverUrl = "http://CON:1/";
  app::UpdateWorker worker(params, report, services, engine::NewServer::Trusted, notices);
  worker.Execute();
  EXPECT_EQ(report.posted_, (std::vector<std::string>{"connecting", "checking", "current"}));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "服务器地址“http://CON:1/”无效：其中的主机名或端口含有路径分隔符、"
                                    "冒号或文件名中不允许的字符，不能用来命名客户端配置文件。");
  EXPECT_TRUE(web.requested.empty());
}

TEST_F(Worker, StartRunsOnItsOwnThreadWithACopy) {
  UseLocalConfig("<data/>");
  ServeManifest("<data><ZEPRA/></data>");
  app::LaunchParams params = Params();
  std::thread worker = app::UpdateWorker::Start(params, report, services, engine::NewServer::Trusted, notices);
  params.serverUrl = "changed after the start";
  EXPECT_EQ(report.WaitForEnd(), (std::vector<std::string>{"connecting", "checking", "current"}));
  worker.join();
}

// A second updater waits, saying so, until the first lets go, and only then
// touches anything (its set-up recovers journals and writes files).
TEST_F(Worker, WaitsForTheUpdaterAlreadyRunning) {
  UseLocalConfig("<data><ZEPRA><a.dll Version=\"1\"/></ZEPRA></data>");
  ServeManifest("<data><ZEPRA><a.dll Version=\"1\" IsReplace=\"1\"/></ZEPRA></data>");
  WriteAppFile("a.dll", "x");
  platform::MachineLock first(app::kUpdaterLockName);
  ASSERT_TRUE(first.TryTake());
  std::thread worker = app::UpdateWorker::Start(Params(), report, services, engine::NewServer::Trusted, notices);
  EXPECT_EQ(report.WaitForFirst(), std::vector<std::string>{"waiting"});
  // While the other updater holds on, this one does nothing more.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(report.Snapshot(), std::vector<std::string>{"waiting"});
  EXPECT_TRUE(web.requested.empty());
  first.Release();
  EXPECT_EQ(report.WaitForEnd(), (std::vector<std::string>{"waiting", "connecting", "checking", "current"}));
  worker.join();
}

}  // namespace
