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
#include "support/engine/engine_fixture.h"
#include "support/zip/zip_builder.h"

namespace {
using engine_testing::EngineTest;
using engine_testing::kConfigName;
using engine_testing::kServer;

// Records what the worker posts, in order, as text: "1", "p0/2", "0:text".
class RecordingSink : public app::IStatusSink {
 public:
  void PostStatus(app::Status status) override {
    Add(std::to_string(static_cast<int>(status)), status == app::Status::Finished || status == app::Status::Current);
  }
  void PostError(std::string_view text) override { Add("0:" + std::string(text), true); }
  void PostRefusal(std::string_view text) override { Add("5:" + std::string(text), true); }
  void PostProgress(std::int32_t done, std::int32_t total) override {
    Add("p" + std::to_string(done) + "/" + std::to_string(total), false);
  }
  std::vector<std::string> WaitForEnd() {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, std::chrono::seconds(30), [&] { return ended_; });
    return posted_;
  }
  std::vector<std::string> Snapshot() {
    std::lock_guard lock(mutex_);
    return posted_;
  }
  std::vector<std::string> posted_;

 private:
  void Add(std::string s, bool last) {
    std::lock_guard lock(mutex_);
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
  app::EngineFactory Factory() {
    return [this](const std::string& url) { return std::make_unique<engine::UpdateEngine>(url, services); };
  }
  std::vector<std::string> RunWorker(const std::string& server = kServer) {
    app::LaunchParams params;
    params.appName = "ZEPRA";
    params.serverUrl = server;
    app::UpdateWorker worker(params, sink, Factory(), notices);
    worker.Execute();
    return sink.posted_;
  }
  RecordingSink sink;
};

TEST_F(Worker, AlreadyCurrent) {
  UseLocalConfig("<data><ZEPRA><a.dll Version=\"1\"/></ZEPRA></data>");
  ServeManifest("<data><ZEPRA><a.dll Version=\"1\" IsReplace=\"1\"/></ZEPRA></data>");
  WriteAppFile("a.dll", "x");
  EXPECT_EQ(RunWorker(), (std::vector<std::string>{"1", "2", "4"}));
}

TEST_F(Worker, UpdateWithProgressThenFinished) {
  UseLocalConfig("<data/>");
  ServeManifest("<data><ZEPRA><a.dll Version=\"2\" FileName=\"a.zip\"/><b.dll Version=\"2\" FileName=\"b.zip\"/></ZEPRA></data>");
  web.Serve(std::string(kServer) + "clientfile/a.zip", testing_support::ZipBuilder().File("a.dll", "A").Bytes());
  web.Serve(std::string(kServer) + "clientfile/b.zip", testing_support::ZipBuilder().File("b.dll", "B").Bytes());
  EXPECT_EQ(RunWorker(), (std::vector<std::string>{"1", "2", "3", "p0/4", "p1/4", "p2/4", "p3/4", "p4/4", "9"}));
  EXPECT_EQ(ReadAppFile("b.dll"), "B");
}

// Removes the client configuration when the first progress step arrives, so
// that the recording after the downloads fails.
class RemovingSink : public app::IStatusSink {
 public:
  RemovingSink(RecordingSink& inner, std::string path) : inner_(inner), path_(std::move(path)) {}
  void PostStatus(app::Status status) override { inner_.PostStatus(status); }
  void PostError(std::string_view text) override { inner_.PostError(text); }
  void PostRefusal(std::string_view text) override { inner_.PostRefusal(text); }
  void PostProgress(std::int32_t done, std::int32_t total) override {
    platform::RemoveFile(path_);
    inner_.PostProgress(done, total);
  }

 private:
  RecordingSink& inner_;
  std::string path_;
};

TEST_F(Worker, ErrorDuringTheRunEndsWithItsText) {
  UseLocalConfig("<data/>");
  ServeManifest("<data><ZEPRA><a.dll Version=\"2\" FileName=\"a.zip\"/></ZEPRA></data>");
  web.Serve(std::string(kServer) + "clientfile/a.zip", testing_support::ZipBuilder().File("a.dll", "A").Bytes());
  app::LaunchParams params;
  params.appName = "ZEPRA";
  params.serverUrl = kServer;
  RemovingSink removing(sink, AppPath(kConfigName));
  app::UpdateWorker worker(params, removing, Factory(), notices);
  worker.Execute();
  ASSERT_EQ(sink.posted_.size(), 6u);
  EXPECT_EQ((std::vector<std::string>(sink.posted_.begin(), sink.posted_.begin() + 5)),
            (std::vector<std::string>{"1", "2", "3", "p0/2", "p1/2"}));
  EXPECT_EQ(sink.posted_[5].substr(0, 2), "0:");
  EXPECT_NE(sink.posted_[5].find(AppPath(kConfigName)), std::string::npos);
}

// A server the user declined ends the run with its own status, which tells
// the window to hand the client program no address.
TEST_F(Worker, ADeclinedServerEndsWithTheRefusal) {
  messages.answer = platform::IdNo;
  app::LaunchParams params;
  params.appName = "ZEPRA";
  params.serverUrl = kServer;
  app::UpdateWorker worker(
      params, sink,
      [this](const std::string& url) {
        return std::make_unique<engine::UpdateEngine>(url, services, engine::NewServer::AskFirst);
      },
      notices);
  worker.Execute();
  EXPECT_EQ(sink.posted_,
            (std::vector<std::string>{"1", "5:您拒绝使用网页指定的更新服务器“10.0.0.5:8080”，本次没有更新。"}));
  EXPECT_TRUE(web.requested.empty());
}

// An address a web page gave that could name another host is refused with
// the reason and the form an address must have.
TEST_F(Worker, AnUnclearAddressEndsWithTheRefusal) {
  app::LaunchParams params;
  params.appName = "ZEPRA";
  params.serverUrl = "http://a@b/";
  app::UpdateWorker worker(
      params, sink,
      [this](const std::string& url) {
        return std::make_unique<engine::UpdateEngine>(url, services, engine::NewServer::AskFirst);
      },
      notices);
  worker.Execute();
  EXPECT_EQ(sink.posted_,
            (std::vector<std::string>{
                "1", "5:网页指定的更新服务器地址“http://a@b/”无效，本次没有更新。\r\n"
                     "地址应为“http://主机名:端口/路径”：主机名只能由英文字母、数字、“-”、“_”和“.”组成（中文域名须写成 "
                     "punycode 形式），端口必须是 1 到 65535 之间的数字。"}));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(web.requested.empty());
}

TEST_F(Worker, FailedSetUpIsShownAndTheApplicationCountsAsCurrent) {
  web.Unreachable();
  EXPECT_EQ(RunWorker(), (std::vector<std::string>{"1", "2", "4"}));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].caption, "AutoUpdate");
  EXPECT_NE(messages.shown[0].text.find("12029"), std::string::npos);
}

TEST_F(Worker, ErrorTextWithLineBreaksArrivesUnchanged) {
  app::LaunchParams params;
  params.serverUrl = kServer;
  app::UpdateWorker worker(
      params, sink,
      [](const std::string&) -> std::unique_ptr<engine::UpdateEngine> {
        throw std::runtime_error("line one\r\nline two");
      },
      notices);
  worker.Execute();
  EXPECT_EQ(sink.posted_, (std::vector<std::string>{"1", "0:line one\r\nline two"}));
}

// An address that would make the configuration's name a path ends the run
// with the application's wording of it.
TEST_F(Worker, AnUnusableAddressEndsWithItsText) {
  app::LaunchParams params;
  params.serverUrl = "http://CON:1/";
  app::UpdateWorker worker(
      params, sink,
      [](const std::string& url) -> std::unique_ptr<engine::UpdateEngine> { throw engine::BadServerAddress(url); },
      notices);
  worker.Execute();
  EXPECT_EQ(sink.posted_, (std::vector<std::string>{"1", "0:服务器地址“http://CON:1/”无效：其中的主机名或端口含有路径分隔符、"
                                                         "冒号或文件名中不允许的字符，不能用来命名客户端配置文件。"}));
}

TEST_F(Worker, CreateRunsOnItsOwnThreadWithACopy) {
  UseLocalConfig("<data/>");
  ServeManifest("<data><ZEPRA/></data>");
  app::LaunchParams params;
  params.appName = "ZEPRA";
  params.serverUrl = kServer;
  app::UpdateWorker::Create(params, sink, Factory(), notices);
  params.serverUrl = "changed after the start";
  EXPECT_EQ(sink.WaitForEnd(), (std::vector<std::string>{"1", "2", "4"}));
}

// A second updater waits, saying so, until the first lets go, and only then
// touches anything (its set-up recovers journals and writes files).
TEST_F(Worker, WaitsForTheUpdaterAlreadyRunning) {
  UseLocalConfig("<data><ZEPRA><a.dll Version=\"1\"/></ZEPRA></data>");
  ServeManifest("<data><ZEPRA><a.dll Version=\"1\" IsReplace=\"1\"/></ZEPRA></data>");
  WriteAppFile("a.dll", "x");
  platform::MachineLock first(app::kUpdaterLockName);
  ASSERT_TRUE(first.TryTake());
  app::LaunchParams params;
  params.appName = "ZEPRA";
  params.serverUrl = kServer;
  app::UpdateWorker::Create(params, sink, Factory(), notices);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  {
    std::vector<std::string> soFar = sink.Snapshot();
    EXPECT_EQ(soFar, std::vector<std::string>{"6"});
    EXPECT_TRUE(web.requested.empty());
  }
  first.Release();
  EXPECT_EQ(sink.WaitForEnd(), (std::vector<std::string>{"6", "1", "2", "4"}));
}

}  // namespace
