#pragma once
// A sandboxed machine for engine tests: program folder, system folders, the
// program-data folder, recording OS fakes and a web server answering from a
// table. The user's notices are the application's own, shown in recorded
// message boxes, so that tests read what the user would.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "app/user_notices.h"
#include "engine/services.h"
#include "engine/trace_file.h"
#include "engine/update_engine.h"
#include "support/http/fake_web_server.h"
#include "support/platform/fakes.h"
#include "support/platform/sandbox.h"

namespace engine_testing {

inline constexpr const char* kServer = "http://10.0.0.5:8080/upd/";
inline constexpr const char* kConfigName = "10.0.0.5_8080_AutoUpdateIniC.xml";

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() { box.mkdirs("ProgramData"); }  // as on every machine

  testing_support::Sandbox box;
  testing_support::RecordingMessageBox messages;
  app::UserNotices notices{messages};
  testing_support::RecordingProcesses processes;
  testing_support::FakeRegistry registry;
  testing_support::FakeShell shell;
  testing_support::FakeWebServer web;
  engine::TraceFile trace{box.programPath()};
  engine::Services services{notices, messages, processes, registry,         shell,
                            web,     trace,    box.programPath(), [this] { return box.path("ProgramData"); }};

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
};

}  // namespace engine_testing
