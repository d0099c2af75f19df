#include <gtest/gtest.h>

#include "engine/presence.h"
#include "engine/rollout.h"
#include "engine/trace_file.h"
#include "engine/update_engine.h"
#include "engine/xml_routines.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "support/engine/engine_fixture.h"
#include "xml/xml_document.h"

namespace {
using engine_testing::EngineTest;
using engine_testing::kServer;

std::string Doc(const std::string& group, const std::string& entries) {
  return "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<data><" + group + ">" + entries + "</" + group +
         "></data>";
}

std::vector<std::string> Names(const engine::ManifestEntries& list) {
  std::vector<std::string> names;
  for (const auto& e : list) names.push_back(e->name);
  return names;
}

class UpdateCheck : public EngineTest {
 protected:
  // Runs a check of application ZEPRA with the given entries on both sides.
  std::vector<std::string> Check(const std::string& serverEntries, const std::string& clientEntries,
                                 const std::string& app = "ZEPRA") {
    UseLocalConfig(Doc("ZEPRA", clientEntries));
    ServeManifest(Doc("ZEPRA", serverEntries));
    engine_ = MakeEngine();
    engine_->CheckForUpdates(app);
    return Names(engine_->updates());
  }
  std::unique_ptr<engine::UpdateEngine> engine_;
};

TEST_F(UpdateCheck, VersionAndPresenceRules) {
  struct Case {
    const char* name;
    const char* server;  // attributes of the manifest entry a.dll
    const char* client;  // attributes of the configuration entry a.dll ("-" for none)
    bool present;        // a.dll exists in the program folder
    int times;           // how often a.dll is appended
  } cases[] = {
      {"newer by bytes, replaceable", "Version=\"2.0\" IsReplace=\"1\"", "Version=\"10.0\"", true, 1},
      {"not newer as bytes", "Version=\"1.0.10\" IsReplace=\"1\"", "Version=\"1.0.9\"", true, 0},
      {"prefix is older", "Version=\"1.0\" IsReplace=\"1\"", "Version=\"1.0.1\"", true, 0},
      {"client has no version", "Version=\"1\" IsReplace=\"1\"", "", true, 1},
      {"newer, replace absent", "Version=\"2\"", "Version=\"1\"", true, 0},
      {"newer, replace 0", "Version=\"2\" IsReplace=\"0\"", "Version=\"1\"", true, 0},
      {"newer, replace true", "Version=\"2\" IsReplace=\"true\"", "Version=\"1\"", true, 0},
      {"newer and missing: twice", "Version=\"2\" IsReplace=\"1\"", "Version=\"1\"", false, 2},
      {"same and missing: once", "Version=\"1\" IsReplace=\"1\"", "Version=\"1\"", false, 1},
      {"only on the server", "Version=\"1\"", "-", true, 1},
      {"client flags do not count", "Version=\"2\"", "Version=\"1\" IsReplace=\"1\"", true, 0},
      {"attribute names ignore case", "VERSION=\"2\" isreplace=\"1\"", "version=\"1\"", true, 1},
      {"last matching attribute wins", "Version=\"1\" version=\"3\" IsReplace=\"1\"", "Version=\"2\"", true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.present) {
      WriteAppFile("a.dll", "x");
    } else {
      box.write(AppFile("a.dll"), "x");
      ASSERT_TRUE(platform::RemoveFile(AppPath("a.dll")));
    }
    const std::string client = std::string(c.client) == "-" ? "" : "<a.dll " + std::string(c.client) + "/>";
    const auto list = Check("<a.dll " + std::string(c.server) + "/>", client);
    EXPECT_EQ(list, std::vector<std::string>(static_cast<size_t>(c.times), "a.dll"));
  }
}

TEST_F(UpdateCheck, NamesMatchIgnoringCaseFirstClientEntryOnly) {
  WriteAppFile("Main.DLL", "x");
  // Server Main.DLL matches client main.dll; a second client entry of the same
  // name is never consulted.
  auto list = Check("<Main.DLL Version=\"2\" IsReplace=\"1\"/>",
                    "<main.dll Version=\"2\"/><MAIN.dll Version=\"1\"/>");
  EXPECT_TRUE(list.empty());
  // Client entries without a server entry are ignored; order is the manifest's.
  list = Check("<b.dll/><a.dll/>", "<z.dll/>");
  EXPECT_EQ(list, (std::vector<std::string>{"b.dll", "a.dll"}));
}

TEST_F(UpdateCheck, PresenceByFolderToken) {
  struct Case {
    const char* name;
    const char* setupPath;
    const char* createFile;    // relative to the sandbox, "" for none
    const char* createFolder;  // relative to the sandbox, "" for none
    bool hasBDE;
    bool present;
  } cases[] = {
      {"s.dll", "#System32", "", "", false, false},
      {"s.dll", "#system32", "SYS\\s.dll", "", false, true},
      {"w.dll", "#WINDOWS", "WIN\\w.dll", "", false, true},
      {"b.dll", "#bde", "", "", true, true},
      {"b.dll", "#BDE", "APP\\b.dll", "", false, false},  // no file is looked at
      {"a.dll", "other", "APP\\a.dll", "", false, true},
      {"a.dll", " #System32", "APP\\a.dll", "", false, true},  // blanks: not a token
      {"a.dll", "", "", "APP\\a.dll", false, false},           // a folder is no file
      {"Reports", "#windows", "", "APP\\Reports", false, true},  // folders: program folder
      {"Reports", "#System32", "", "SYS\\Reports", false, true},
      {"Reports", "", "APP\\Reports", "", false, false},  // a file is no folder
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.setupPath);
    // Each case gets its own three folders: APP, SYS and WIN below caseN.
    const std::string dir = "case" + std::to_string(n++);
    for (const char* sub : {"\\APP", "\\SYS", "\\WIN"}) box.mkdirs(dir + sub);
    const engine::Folders folders{box.path(dir + "\\APP\\"), box.path(dir + "\\SYS\\"),
                                  box.path(dir + "\\WIN\\"), {}};
    if (*c.createFile) box.write(dir + "\\" + c.createFile, "x");
    if (*c.createFolder) box.mkdirs(dir + "\\" + c.createFolder);
    EXPECT_EQ(engine::IsPresentOnDisk(folders, c.hasBDE, c.name, c.setupPath), c.present);
  }
}

TEST_F(UpdateCheck, GroupsDocumentsAndTrace) {
  // The group element name is case-sensitive: no client entries, so every
  // manifest entry is appended.
  UseLocalConfig(Doc("zepra", "<a.dll Version=\"1\"/>"));
  ServeManifest(Doc("ZEPRA", "<a.dll Version=\"1\"/><b.dll/><c.dll/>"));
  WriteAppFile("a.dll", "x");
  auto engine = MakeEngine();
  EXPECT_TRUE(engine->CheckForUpdates("ZEPRA"));
  EXPECT_EQ(Names(engine->updates()), (std::vector<std::string>{"a.dll", "b.dll", "c.dll"}));
  EXPECT_EQ(engine->appName(), "ZEPRA");
  const std::string trace = ReadAppFile("debug.ini");
  EXPECT_NE(trace.find(platform::Utf8ToAnsi("等更新模块=3\r\n")), std::string::npos);

  // A group that differs only in case on the server: nothing to update.
  EXPECT_FALSE(engine->CheckForUpdates("Zepra"));
  EXPECT_TRUE(engine->updates().empty());
  EXPECT_NE(ReadAppFile("debug.ini").find(platform::Utf8ToAnsi("等更新模块=0\r\n")), std::string::npos);
  // An application name that is no element name selects nothing.
  EXPECT_FALSE(engine->CheckForUpdates("bad name/"));
  EXPECT_FALSE(engine->CheckForUpdates(""));
}

TEST_F(UpdateCheck, DuplicatesCountInTheTrace) {
  UseLocalConfig(Doc("ZEPRA", "<a.dll Version=\"1\"/><b.dll Version=\"1\"/>"));
  ServeManifest(Doc("ZEPRA", "<a.dll Version=\"2\" IsReplace=\"1\"/><b.dll Version=\"2\" IsReplace=\"1\"/><c.dll/>"));
  WriteAppFile("b.dll", "x");
  auto engine = MakeEngine();
  EXPECT_TRUE(engine->CheckForUpdates("ZEPRA"));
  EXPECT_EQ(Names(engine->updates()), (std::vector<std::string>{"a.dll", "a.dll", "b.dll", "c.dll"}));
  EXPECT_NE(ReadAppFile("debug.ini").find(platform::Utf8ToAnsi("等更新模块=4\r\n")), std::string::npos);
  EXPECT_EQ(engine::UpdateEngine::IndexOfEntry(engine->updates(), "B.DLL"), 2);
  EXPECT_EQ(engine::UpdateEngine::IndexOfEntry(engine->updates(), "a.dll"), 0);
  EXPECT_EQ(engine::UpdateEngine::IndexOfEntry(engine->updates(), "d.dll"), -1);
}

TEST_F(UpdateCheck, NoServerNoManifestOrEmptyGroup) {
  // No server address: false at once, nothing looked at, nothing traced.
  auto engine = MakeEngine("");
  EXPECT_FALSE(engine->CheckForUpdates("ZEPRA"));
  EXPECT_TRUE(engine->updates().empty());
  EXPECT_EQ(engine->appName(), "");
  EXPECT_EQ(ReadAppFile("debug.ini").find(platform::Utf8ToAnsi("等更新模块")), std::string::npos);

  // Manifest absent (404 page does not parse) or an empty group: false.
  EXPECT_TRUE(Check("", "").empty());
  web.Serve(std::string(kServer) + "AutoUpdateIniS.xml", "<html><body>busy</body></html>");
  auto noManifest = MakeEngine();
  EXPECT_FALSE(noManifest->CheckForUpdates("ZEPRA"));
}

TEST_F(UpdateCheck, StagedRolloutHoldsBackOnlyNewerVersions) {
  // a.dll version 2: bucket 1 for kIn, 88 for kOut (rollout_test.cpp).
  constexpr const char* kIn = "11111111-2222-3333-4444-000000000003";
  constexpr const char* kOut = "11111111-2222-3333-4444-000000000002";
  const auto root = platform::RegistryRoot::LocalMachine;
  struct Case {
    const char* name;
    const char* rollout;  // the Rollout attribute, "-" for none
    const char* guid;     // "-" for none
    const char* ring;     // "-" for none
    const char* client;   // the configuration's entries
    bool present;         // a.dll exists in the program folder
    int times;
    const char* note;  // the trace's a.dll.Rollout, "" for none
  } cases[] = {
      {"absent", "-", kOut, "-", "<a.dll Version=\"1\"/>", true, 1, ""},
      {"100", "100", kOut, "-", "<a.dll Version=\"1\"/>", true, 1, ""},
      {"50, in", "50", kIn, "-", "<a.dll Version=\"1\"/>", true, 1, ""},
      {"50, out", "50", kOut, "-", "<a.dll Version=\"1\"/>", true, 0, "未轮到：桶 88，比例 50%"},
      {"0", "0", kIn, "-", "<a.dll Version=\"1\"/>", true, 0, "未轮到：桶 1，比例 0%"},
      {"junk", "5O", kOut, "-", "<a.dll Version=\"1\"/>", true, 1, "比例“5O”无效，按 100% 处理"},
      {"missing on disk: twice, as ever", "0", kOut, "-", "<a.dll Version=\"1\"/>", false, 2, ""},
      {"not in the configuration", "0", kOut, "-", "<b.dll/>", true, 1, ""},
      {"no guid", "50", "-", "-", "<a.dll Version=\"1\"/>", true, 0, "未轮到：没有 MachineGuid，比例 50%"},
      {"empty guid", "50", "", "-", "<a.dll Version=\"1\"/>", true, 0, "未轮到：没有 MachineGuid，比例 50%"},
      {"early ring", "0", kOut, "early", "<a.dll Version=\"1\"/>", true, 1, ""},
      {"hold ring", "99", kIn, "hold", "<a.dll Version=\"1\"/>", true, 0, "本机暂缓（RolloutRing=hold）：比例 99%"},
      {"hold ring at 100", "100", kIn, "hold", "<a.dll Version=\"1\"/>", true, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::RemoveFile(AppPath("debug.ini"));
    registry.values.clear();
    registry.values64.clear();
    // The GUID only in the 64-bit view, where Windows keeps it; the ring in
    // the product's view.
    if (std::string(c.guid) != "-") registry.values64[{root, engine::kMachineGuidKey, "MachineGuid"}] = c.guid;
    if (std::string(c.ring) != "-") registry.values[{root, engine::kRolloutRingKey, "RolloutRing"}] = c.ring;
    if (c.present) {
      WriteAppFile("a.dll", "x");
    } else {
      box.write(AppFile("a.dll"), "x");
      ASSERT_TRUE(platform::RemoveFile(AppPath("a.dll")));
    }
    const std::string rollout = std::string(c.rollout) == "-" ? "" : " Rollout=\"" + std::string(c.rollout) + "\"";
    const auto list = Check("<a.dll Version=\"2\" IsReplace=\"1\"" + rollout + "/>", c.client);
    EXPECT_EQ(list, std::vector<std::string>(static_cast<size_t>(c.times), "a.dll"));
    const std::string trace = ReadAppFile("debug.ini");
    const std::string line = platform::Utf8ToAnsi("a.dll.Rollout=" + std::string(c.note) + "\r\n");
    EXPECT_EQ(trace.find(line) != std::string::npos, *c.note != '\0') << trace;
    if (!*c.note) {
      EXPECT_EQ(trace.find("a.dll.Rollout"), std::string::npos);
    }
  }
}

TEST_F(UpdateCheck, MachineGuidOfThe32BitViewIsNotUsed) {
  const auto root = platform::RegistryRoot::LocalMachine;
  registry.values[{root, engine::kMachineGuidKey, "MachineGuid"}] = "11111111-2222-3333-4444-000000000003";
  WriteAppFile("a.dll", "x");
  EXPECT_TRUE(Check("<a.dll Version=\"2\" IsReplace=\"1\" Rollout=\"50\"/>", "<a.dll Version=\"1\"/>").empty());
}

TEST_F(UpdateCheck, EntryFieldsAreRead) {
  engine::ManifestEntries list;
  auto doc = engine::LoadXmlFromBytes(Doc(
      "APP", "<x.ocx SetupPath=\"#System32\" FileName=\"x.ocx.zip\" IsRegister=\"1\" Script=\"s\" AutoRun=\"r.exe\" "
             "Version=\"7\" IsReplace=\"1\" Other=\"o\" rollout=\"30\" DeltaFileName=\"x.d.zip\" deltafrom=\"6\" "
             "DELTASHA256=\"AB\" DeltaSize=\"9\"/><!-- note --><Reports/>"));
  engine::UpdateEngine::ReadEntries(list, doc.get(), "APP");
  ASSERT_EQ(list.size(), 2u);
  const engine::ManifestEntry& e = *list[0];
  EXPECT_EQ(e.name, "x.ocx");
  EXPECT_EQ(e.setupPath, "#System32");
  EXPECT_EQ(e.fileName, "x.ocx.zip");
  EXPECT_TRUE(e.registerComponent);
  EXPECT_TRUE(e.replace);
  EXPECT_EQ(e.script, "s");
  EXPECT_EQ(e.autoRun, "r.exe");
  EXPECT_EQ(e.version, "7");
  EXPECT_EQ(e.rollout, "30");
  EXPECT_EQ(e.deltaFileName, "x.d.zip");
  EXPECT_EQ(e.deltaFrom, "6");
  EXPECT_EQ(e.deltaSha256, "AB");
  EXPECT_EQ(e.deltaSize, "9");
  EXPECT_EQ(list[1]->name, "Reports");
  EXPECT_EQ(list[1]->deltaFileName, "");
  EXPECT_FALSE(list[1]->rollout.has_value());
  EXPECT_FALSE(list[1]->registerComponent);
  engine::UpdateEngine::ReadEntries(list, nullptr, "APP");
  EXPECT_EQ(list.size(), 2u);
}

}  // namespace
