#pragma once
// A sandboxed machine for engine tests: program folder, system folders, the
// program-data folder, recording OS fakes and a web server answering from a
// table. The user's notices are a type of the test's choosing: engine tests
// take none (any notice fails them); tests of what the user reads take the
// application's own, shown in recorded message boxes.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "engine/services.h"
#include "engine/trace_file.h"
#include "engine/update_engine.h"
#include "engine/set_up_outcome.h"
#include "engine/user_notices.h"
#include "support/http/fake_web_server.h"
#include "support/platform/fakes.h"
#include "support/platform/sandbox.h"

namespace engine_testing {

inline constexpr const char* kServer = "http://10.0.0.5:8080/upd/";
inline constexpr const char* kConfigName = "10.0.0.5_8080_AutoUpdateIniC.xml";

// For runs that must tell the user nothing: every notice fails the test.
class NoNotices : public engine::IUserNotices {
 public:
  bool ApprovesFirstUse(const std::string& server) override { return Unexpected("first use of " + server); }
  void PackageNotDownloaded(const std::string& url, const std::string&) override { Unexpected(url); }
  void ModuleNotInstalled(const std::string& module, const std::string&) override { Unexpected(module); }
  void DatabaseEngineSetupNotRun() override { Unexpected("database engine"); }
  void ShortcutNameInvalid(const std::string& title) override { Unexpected(title); }
  void ShortcutNotCreated(const std::string& error) override { Unexpected(error); }
  void UnsupportedCompression() override { Unexpected("compression"); }
  void SetUpFailed(const engine::SetUpFailure& failure) { Unexpected(failure.detail); }

 private:
  static bool Unexpected(const std::string& what) {
    ADD_FAILURE() << "unexpected notice: " << what;
    return false;
  }
};

template <class Notices>
class EngineRun : public ::testing::Test {
 protected:
  EngineRun() { box.mkdirs("ProgramData"); }  // as on every machine

  testing_support::Sandbox box;
  testing_support::RecordingMessageBox messages;
  Notices notices = MakeNotices();
  testing_support::RecordingProcesses processes;
  testing_support::FakeRegistry registry;
  testing_support::FakeShell shell;
  testing_support::FakeWebServer web;
  engine::TraceFile trace{box.programPath()};
  engine::Services services{notices, processes, registry,         shell,
                            web,     trace,     box.programPath(), [this] { return box.path("ProgramData"); }};

  // An engine set up as the worker sets it up: a failure is shown and the
  // engine goes on with what it gathered.
  std::unique_ptr<engine::UpdateEngine> MakeEngine(const std::string& server = kServer,
                                                   engine::NewServer newServer = engine::NewServer::Trusted) {
    return SetUp(std::make_unique<engine::UpdateEngine>(server, services, newServer));
  }
  std::unique_ptr<engine::UpdateEngine> SetUp(std::unique_ptr<engine::UpdateEngine> engine) {
    if (const std::optional<engine::SetUpFailure> failure = engine->SetUp()) notices.SetUpFailed(*failure);
    return engine;
  }
  // The program folder relative to the sandbox, and files in it.
  std::string AppFile(const std::string& name) const { return "Client\\Update\\" + name; }
  std::string AppPath(const std::string& name) const { return box.path(AppFile(name)); }
  void WriteAppFile(const std::string& name, const std::string& bytes) const { box.write(AppFile(name), bytes); }
  std::string ReadAppFile(const std::string& name) const { return box.read(AppFile(name)); }
  void ServeManifest(const std::string& xml, const std::string& server = kServer) {
    web.Serve(server + std::string("AutoUpdateIniS.xml"), xml);
  }
  void UseLocalConfig(const std::string& xml) const { WriteAppFile(kConfigName, xml); }
  // The updater's private folder and the staging folder in it.
  std::string PrivatePath(const std::string& name) const { return box.path("ProgramData\\ZEPRA\\AutoUpdate\\" + name); }
  std::string Staged(const std::string& name) const { return PrivatePath("staging\\" + name); }

 private:
  Notices MakeNotices() {
    if constexpr (std::is_constructible_v<Notices, platform::IMessageBox&>) {
      return Notices(messages);
    } else {
      return Notices();
    }
  }
};

using EngineTest = EngineRun<NoNotices>;

}  // namespace engine_testing
