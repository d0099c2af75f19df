#include <gtest/gtest.h>

#include <utility>

#include "engine/database_engine.h"
#include "engine/package_transaction.h"
#include "engine/paths.h"
#include "engine/update_engine.h"
#include "engine/xml_routines.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "support/app/user_run_fixture.h"
#include "support/zip/zip_builder.h"
#include "xml/xml_document.h"

namespace {
using EngineTest = app_testing::UserRunTest;
using engine_testing::kConfigName;
using engine_testing::kServer;
using testing_support::ZipBuilder;

using Calls = std::vector<std::pair<int, int>>;

const char* const kEmptyConfig = "<?xml version=\"1.0\" encoding=\"GB2312\"?><data/>";

class Install : public EngineTest {
 protected:
  // Serves a manifest of application ZEPRA with the given entries (and group
  // attributes), and a client configuration.
  void SetUpServer(const std::string& entries, const std::string& groupAttrs = "",
                   const std::string& config = kEmptyConfig) {
    ServeManifest("<?xml version=\"1.0\" encoding=\"GB2312\"?><data><ZEPRA" + groupAttrs + ">" + entries +
                  "</ZEPRA></data>");
    UseLocalConfig(config);
  }
  void ServePackage(const std::string& name, const ZipBuilder& zip) {
    web.Serve(std::string(kServer) + "clientfile/" + name, zip.Bytes());
  }
  // Serves ZEPRA.exe in `package` as the one entry, with the title given,
  // for an application with the desktop flag given.
  void ServeMainProgram(const std::string& package, const std::string& title, const std::string& desktopFlag,
                        const std::string& config = kEmptyConfig) {
    SetUpServer("<ZEPRA.exe Version=\"1\" FileName=\"" + package + "\" Script=\"" + title + "\"/>",
                " IsDeskTop=\"" + desktopFlag + "\"", config);
    ServePackage(package, ZipBuilder().File("ZEPRA.exe", "MZ"));
  }
  // Creates the engine, checks and installs; returns the progress calls.
  Calls Run() {
    engine = MakeEngine();
    Calls calls;
    engine->SetProgressCallback([&calls](int done, int total) { calls.emplace_back(done, total); });
    EXPECT_TRUE(engine->CheckForUpdates("ZEPRA"));
    EXPECT_TRUE(engine->Install());
    return calls;
  }
  std::unique_ptr<xml::XmlDocument> SavedConfig() { return engine::LoadXmlFile(AppPath(kConfigName)); }
  std::string Attr(const std::string& path, const std::string& name) {
    auto doc = SavedConfig();
    return engine::AttributeOr(doc->SelectSingleNode(path), name, "<absent>");
  }
  std::vector<std::string> AttrNames(const std::string& path) {
    auto doc = SavedConfig();
    std::vector<std::string> names;
    if (const xml::XmlNode* node = doc->SelectSingleNode(path)) {
      for (size_t i = 0; i < node->attributes().length(); ++i) names.push_back(node->attributes().item(i)->nodeName());
    }
    return names;
  }
  std::vector<testing_support::RecordingProcesses::Started> Started() const { return processes.started; }

  std::unique_ptr<engine::UpdateEngine> engine;
};

TEST_F(Install, ThreeModulesProgressFilesAndRecording) {
  SetUpServer(
      "<a.dll Version=\"2\" FileName=\"a.dll.zip\" IsReplace=\"1\" Script=\"sa\"/>"
      "<b.dll Version=\"3\" FileName=\"b.dll.zip\"/>"
      "<Reports Version=\"1\" FileName=\"Reports.zip\" SetupPath=\"rep\"/>");
  ServePackage("a.dll.zip", ZipBuilder().File("a.dll", "A2"));
  ServePackage("b.dll.zip", ZipBuilder().File("b.dll", "B3", false));
  ServePackage("Reports.zip", ZipBuilder().Folder("Reports/").File("Reports/r1.txt", "R1"));
  const Calls calls = Run();
  EXPECT_EQ(calls, (Calls{{0, 6}, {1, 6}, {2, 6}, {3, 6}, {4, 6}, {5, 6}, {6, 6}}));
  EXPECT_EQ(ReadAppFile("a.dll"), "A2");
  EXPECT_EQ(ReadAppFile("b.dll"), "B3");
  EXPECT_EQ(ReadAppFile("Reports\\r1.txt"), "R1");
  // The application element is created with its three attributes in order,
  // one child per entry with version, setupPath and script.
  EXPECT_EQ(AttrNames("data/ZEPRA"), (std::vector<std::string>{"name", "mainfile", "IsDesktop"}));
  EXPECT_EQ(Attr("data/ZEPRA", "IsDesktop"), "0");
  EXPECT_EQ(Attr("data/ZEPRA", "mainfile"), "");
  EXPECT_EQ(AttrNames("data/ZEPRA/a.dll"), (std::vector<std::string>{"version", "setupPath", "script"}));
  EXPECT_EQ(Attr("data/ZEPRA/a.dll", "version"), "2");
  EXPECT_EQ(Attr("data/ZEPRA/a.dll", "script"), "sa");
  EXPECT_EQ(Attr("data/ZEPRA/Reports", "setupPath"), "rep");
  // The install root is the program folder less its last seven characters.
  EXPECT_EQ(Attr("data/setup", "path"), box.path("Client"));
  // The trace records each package with its version.
  EXPECT_NE(ReadAppFile("debug.ini").find("b.dll.zip=3\r\n"), std::string::npos);
  // No delta offered, no word of one.
  EXPECT_EQ(ReadAppFile("debug.ini").find(platform::Utf8ToAnsi("安装方式")), std::string::npos);
  // Nothing registered, nothing started (the clean-up command names no
  // program: it is not started); the staged packages stay.
  EXPECT_TRUE(Started().empty());
  EXPECT_TRUE(platform::FileExists(Staged("a.dll.zip")));
}

TEST_F(Install, ExistingElementsAreUpdatedInPlace) {
  SetUpServer("<a.dll Version=\"2\" FileName=\"a.dll.zip\" IsReplace=\"1\"/>", "",
              "<data><setup/><ZEPRA name=\"Old\"><a.dll Version=\"1\" extra=\"e\"/></ZEPRA>"
              "<OTHER><A.DLL version=\"0\"/><b.dll version=\"5\"/><a.dll Version=\"0\"/></OTHER></data>");
  ServePackage("a.dll.zip", ZipBuilder().File("a.dll", "A2"));
  WriteAppFile("a.dll", "A1");
  Run();
  EXPECT_EQ(ReadAppFile("a.dll"), "A2");
  // setup without a path attribute gets none; the application element keeps
  // its attributes and gets no mainfile (no main-file entry).
  EXPECT_EQ(AttrNames("data/setup"), std::vector<std::string>{});
  EXPECT_EQ(AttrNames("data/ZEPRA"), std::vector<std::string>{"name"});
  // A new "version" after the old "Version" (which then no longer counts).
  EXPECT_EQ(AttrNames("data/ZEPRA/a.dll"), (std::vector<std::string>{"Version", "extra", "version", "setupPath", "script"}));
  EXPECT_EQ(Attr("data/ZEPRA/a.dll", "version"), "2");
  // Other applications' elements of the same name get the new version where
  // they have a "version" attribute; nothing is created there.
  EXPECT_EQ(Attr("data/OTHER/A.DLL", "version"), "2");
  EXPECT_EQ(Attr("data/OTHER/b.dll", "version"), "5");
  EXPECT_EQ(Attr("data/OTHER/a.dll", "Version"), "0");
}

TEST_F(Install, SystemFolderComponentIsRegisteredHidden) {
  SetUpServer(
      "<x.ocx Version=\"1\" FileName=\"x.ocx.zip\" SetupPath=\"#System32\" IsRegister=\"1\" IsReplace=\"1\"/>"
      "<y.ocx Version=\"1\" FileName=\"y.ocx.ZIP\" SetupPath=\"#system32\" IsRegister=\"1\"/>");
  ServePackage("x.ocx.zip", ZipBuilder().File("x.ocx", "X"));
  ServePackage("y.ocx.ZIP", ZipBuilder().File("y.ocx", "Y"));
  Run();
  const std::string sys = engine->folders().system;
  EXPECT_EQ(platform::ReadWholeFile(sys + "x.ocx").value_or(""), "X");
  // "#system32" in other letter case is an ordinary value: program folder.
  EXPECT_EQ(ReadAppFile("y.ocx"), "Y");
  // Regsvr32 of the system folder, never one found by a search.
  ASSERT_EQ(Started().size(), 2u);
  EXPECT_EQ(Started()[0].program, sys + "regsvr32.exe");
  EXPECT_EQ(Started()[0].commandLine, "Regsvr32 /s \"" + sys + "x.ocx \" ");
  EXPECT_EQ(Started()[0].showMode, 0);
  EXPECT_FALSE(Started()[0].waited);
  EXPECT_EQ(Started()[1].program, sys + "regsvr32.exe");
  EXPECT_EQ(Started()[1].commandLine, "Regsvr32 /s \"" + box.programFolder() + "y.ocx \" ");
}

TEST_F(Install, AutoRunProgramsAreWaitedFor) {
  SetUpServer(
      "<tool.exe Version=\"1\" FileName=\"tool.zip\" AutoRun=\"tool.exe\"/>"
      "<none.dll Version=\"1\" FileName=\"none.zip\" AutoRun=\"missing.exe\"/>"
      "<s.dll Version=\"1\" FileName=\"s.zip\" SetupPath=\"#System32\" AutoRun=\"#SYSTEM32sinst.exe\"/>");
  ServePackage("tool.zip", ZipBuilder().File("tool.exe", "MZ"));
  ServePackage("none.zip", ZipBuilder().File("none.dll", "N"));
  ServePackage("s.zip", ZipBuilder().File("sinst.exe", "MZ"));
  Run();
  ASSERT_EQ(Started().size(), 2u);
  EXPECT_EQ(Started()[0].program, box.programFolder() + "tool.exe");
  EXPECT_EQ(Started()[0].commandLine, box.programFolder() + "tool.exe");
  EXPECT_TRUE(Started()[0].waited);
  EXPECT_EQ(Started()[0].showMode, 1);
  EXPECT_EQ(Started()[1].program, engine->folders().system + "sinst.exe");
  EXPECT_EQ(Started()[1].commandLine, engine->folders().system + "sinst.exe");
  EXPECT_TRUE(Started()[1].waited);
}

TEST_F(Install, MainFileEntryAndShortcut) {
  ServeMainProgram("ZEPRA.exe.zip", "Client", "1");
  Run();
  EXPECT_EQ(Attr("data/ZEPRA", "mainfile"), box.programFolder() + "ZEPRA.exe");
  EXPECT_EQ(Attr("data/ZEPRA", "name"), "Client");
  EXPECT_EQ(Attr("data/ZEPRA", "IsDesktop"), "1");
  ASSERT_EQ(shell.links.size(), 1u);
  EXPECT_EQ(shell.links[0].path, shell.desktop + "\\Client.lnk");
  EXPECT_EQ(shell.links[0].target, box.programFolder() + "ZEPRA.exe");
  EXPECT_EQ(shell.links[0].workingDirectory, box.programFolder());
}

TEST_F(Install, OnlyALowerCaseZipMakesTheMainFileEntry) {
  // ".ZIP" is not removed, so this package does not name the main program.
  ServeMainProgram("ZEPRA.exe.ZIP", "NotMain", "1");
  Run();
  EXPECT_EQ(ReadAppFile("ZEPRA.exe"), "MZ");
  EXPECT_EQ(Attr("data/ZEPRA", "mainfile"), "");
  EXPECT_EQ(Attr("data/ZEPRA", "name"), "");
  EXPECT_TRUE(shell.links.empty());
}

TEST_F(Install, ShortcutRules) {
  struct Case {
    const char* flag;
    const char* title;
    const char* link;  // "" for no link
  } cases[] = {
      {"1", "Client", "\\Client.lnk"},
      {"01", "Client", ""},
      {" 1", "Client", ""},
      {"1", "\\Sub\\My Link", "\\Sub\\My Link"},
      {"1", "", "\\ZEPRA.lnk"},  // no title: the program's own name
      // Refused: anything that would leave the desktop or name no plain file.
      {"1", "\\..\\..\\evil", ""},
      {"1", "../../evil", ""},
      {"1", "Sub/../../evil", ""},
      {"1", "\\Sub/. ./x", ""},
      {"1", "C:\\evil", ""},
      {"1", "Client:stream", ""},
      {"1", "CON", ""},
      {"1", "\\", ""},
  };
  int refused = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.flag) + "|" + c.title);
    shell.links.clear();
    messages.shown.clear();
    ServeMainProgram("ZEPRA.exe.zip", c.title, c.flag);
    Run();
    if (*c.link) {
      ASSERT_EQ(shell.links.size(), 1u);
      EXPECT_EQ(shell.links[0].path, shell.desktop + c.link);
    } else {
      EXPECT_TRUE(shell.links.empty());
    }
    // Each refused title is reported in a box.
    const bool refusedTitle = !*c.link && std::string(c.flag) == "1";
    refused += refusedTitle;
    EXPECT_EQ(messages.shown.size(), refusedTitle ? 1u : 0u);
  }
  EXPECT_EQ(refused, 8);
}

TEST_F(Install, ExistingApplicationWithoutMainfileMakesNoLink) {
  ServeMainProgram("ZEPRA.exe.zip", "Client", "1", "<data><ZEPRA name=\"Client\"/></data>");
  Run();
  // mainfile is only changed where it exists; with no target there is no link.
  EXPECT_EQ(Attr("data/ZEPRA", "mainfile"), "<absent>");
  EXPECT_TRUE(shell.links.empty());
}

// A package that came but could not be put in place is rolled back, and the
// user is told which module and why, before the client starts.
TEST_F(Install, APackageThatCannotBePutInPlaceIsReported) {
  SetUpServer("<a.dll Version=\"2\" FileName=\"a.zip\"/><b.dll Version=\"2\" FileName=\"b.zip\"/>");
  ServePackage("a.zip", ZipBuilder().File("a.dll", "A"));
  ServePackage("b.zip", ZipBuilder().File("b.dll", "B"));
  box.mkdirs(AppFile("b.dll"));  // a folder where the file goes
  Run();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text.rfind("模块“b.dll”没有安装，原有文件保持不变：\r\n无法写入文件“" + AppPath("b.dll") + "”", 0),
            0u)
      << messages.shown[0].text;
  EXPECT_EQ(messages.shown[0].flags, platform::MbOk | platform::MbIconError);
  EXPECT_EQ(ReadAppFile("a.dll"), "A");
  EXPECT_EQ(Attr("data/ZEPRA/b.dll", "version"), "<absent>");
}

// What the user is shown for an entry that does not come out, and whether
// its module counts as installed.
struct EntryCase {
  std::string what;
  std::string name, data;
  uint16_t method;
  int64_t crc;     // -1: the data's
  uint16_t flags;  // 1: encrypted
  std::vector<std::string> boxes;  // "caption|start of the text" of each box
  bool installed;
};

class InstallEntry : public Install, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(InstallEntry, ShowsWhatTheEntryNeeds) {
  const EntryCase& c = GetParam();
  SetUpServer("<x.dll Version=\"2\" FileName=\"x.zip\"/>");
  ziptest::Builder zip;
  ziptest::Entry& e = zip.Add(c.name, c.data, c.method);
  e.crc = c.crc;
  e.flags = c.flags;
  if (c.method != 0 && c.method != 8) {
    e.payload = c.data;
    e.payloadSet = true;
  }
  web.Serve(std::string(kServer) + "clientfile/x.zip", zip.Build());
  Run();
  std::vector<std::string> boxes;
  for (size_t i = 0; i < messages.shown.size(); ++i) {
    const auto& shown = messages.shown[i];
    const std::string want = i < c.boxes.size() ? c.boxes[i] : "";
    const std::string start = want.substr(want.find('|') + 1);
    boxes.push_back(shown.caption + "|" + (shown.text.rfind(start, 0) == 0 ? start : shown.text));
  }
  EXPECT_EQ(boxes, c.boxes);
  if (!messages.shown.empty() && messages.shown[0].caption == "Zip Error") {
    EXPECT_EQ(messages.shown[0].text, "Unknown Compression Method");
    EXPECT_EQ(messages.shown[0].flags, platform::MbOk);
  }
  EXPECT_EQ(Attr("data/ZEPRA/x.dll", "version"), c.installed ? "2" : "<absent>");
}

const char* const kNotInstalled = "AutoUpdate|模块“x.dll”没有安装，原有文件保持不变：\r\n";

INSTANTIATE_TEST_SUITE_P(
    Entries, InstallEntry,
    ::testing::Values(
        EntryCase{"fine", "x.dll", "X", 8, -1, 0, {}, true},
        // An unknown method is shown as it is met; the entry then fails its
        // check, which names no reason of its own.
        EntryCase{"unknown_method", "x.dll", "BZh", 12, -1, 0, {"Zip Error|Unknown Compression Method"}, false},
        EntryCase{"unknown_method_empty", "x.dll", "", 99, 0, 0, {"Zip Error|Unknown Compression Method"}, true},
        EntryCase{"bad_crc", "x.dll", "X", 8, 1234, 0, {}, false},
        EntryCase{"unsafe_name", "../x.dll", "X", 8, -1, 0, {std::string(kNotInstalled) + "软件包中的“"}, false},
        EntryCase{"encrypted", "x.dll", "X", 0, -1, 1, {std::string(kNotInstalled) + "无法写入文件“"}, false}),
    [](const ::testing::TestParamInfo<EntryCase>& info) { return info.param.what; });

// The configuration may have come from a server: a shortcut points at a
// program of this installation or is not made.
TEST_F(Install, ShortcutTargetsOnlyTheProgramFolder) {
  platform::CreateFolderPath("C:\\tools");
  platform::WriteWholeFile("C:\\tools\\evil.exe", "MZ");
  SetUpServer("<a.dll Version=\"1\" FileName=\"a.zip\"/>", " IsDeskTop=\"1\"",
              "<data><ZEPRA name=\"Client\" mainfile=\"C:\\tools\\evil.exe\"/></data>");
  ServePackage("a.zip", ZipBuilder().File("a.dll", "A"));
  Run();
  EXPECT_TRUE(shell.links.empty());
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_NE(ReadAppFile("debug.ini").find(platform::Utf8ToAnsi("快捷方式=未创建：目标“C:\\tools\\evil.exe”不在程序文件夹内")),
            std::string::npos);
}

TEST_F(Install, DatabaseEngineInstalledSkipsItsEntry) {
  registry.values[{platform::RegistryRoot::LocalMachine, "Software\\Borland\\BLW32", "BLAPIPATH"}] = "C:\\BDE";
  SetUpServer(
      "<a.dll Version=\"1\" FileName=\"a.zip\"/>"
      "<bde.dll Version=\"1\" FileName=\"bdesetup.exe.zip\" SetupPath=\"#BDE\"/>"
      "<c.dll Version=\"1\" FileName=\"c.zip\"/>");
  ServePackage("a.zip", ZipBuilder().File("a.dll", "A"));
  ServePackage("c.zip", ZipBuilder().File("c.dll", "C"));
  const Calls calls = Run();
  // bde.dll is new to the client configuration, so it is in the list; its
  // download is skipped and so is its progress call in the download phase.
  EXPECT_EQ(calls, (Calls{{0, 6}, {2, 6}, {3, 6}, {4, 6}, {5, 6}, {6, 6}}));
  for (const std::string& url : web.requested) EXPECT_EQ(url.find("bdesetup"), std::string::npos);
  EXPECT_NE(ReadAppFile("debug.ini").find("bdesetup.exe.zip=1\r\n"), std::string::npos);
  EXPECT_EQ(Attr("data/ZEPRA/bde.dll", "version"), "1");
  for (const auto& s : Started()) EXPECT_EQ(s.commandLine.find("bdesetup"), std::string::npos);
}

TEST_F(Install, DatabaseEngineMissingRunsItsSetupLast) {
  SetUpServer("<bde.dll Version=\"1\" FileName=\"bdesetup.exe.zip\" SetupPath=\"#BDE\" IsRegister=\"1\"/>");
  ServePackage("bdesetup.exe.zip", ZipBuilder().File("bdesetup.exe", "MZ").File("disk1.cab", "CAB"));
  std::string runFrom;
  processes.onStart = [&](const std::string& commandLine) { runFrom = *platform::ReadWholeFile(commandLine); };
  Run();
  ASSERT_EQ(Started().size(), 1u);  // never registered
  // From a folder of its own in the private folder, which is gone again.
  const std::string program = Started()[0].program;
  const std::string folder = engine::FolderOf(program);
  EXPECT_EQ(folder.rfind(PrivatePath("bde-"), 0), 0u) << program;
  EXPECT_EQ(engine::NameOf(program), "bdesetup.exe");
  EXPECT_EQ(Started()[0].commandLine, program);
  EXPECT_EQ(Started()[0].currentFolder + "\\", folder);
  EXPECT_TRUE(Started()[0].waited);
  EXPECT_EQ(runFrom, "MZ");
  EXPECT_FALSE(platform::DirectoryExists(folder));
}

TEST_F(Install, DatabaseEngineSetupRunsOnlyFromAPackageThatUnpacked) {
  // An earlier run left a setup program in the staging folder; this run's
  // package is no archive at all, so nothing may start.
  SetUpServer("<bde.dll Version=\"1\" FileName=\"bdesetup.exe.zip\" SetupPath=\"#BDE\"/>");
  web.Serve(std::string(kServer) + "clientfile/bdesetup.exe.zip", "<html>not a zip</html>");
  platform::CreateFolderPath(Staged(""));
  platform::WriteWholeFile(Staged("bdesetup.exe"), "MZ-old");
  Run();
  EXPECT_TRUE(Started().empty());
  EXPECT_EQ(Attr("data/ZEPRA/bde.dll", "version"), "<absent>");
}

TEST_F(Install, FailedDownloadInstallsNothingStaleAndRecordsNothing) {
  SetUpServer(
      "<a.dll Version=\"2\" FileName=\"a.zip\" IsReplace=\"1\" IsRegister=\"1\" AutoRun=\"a.exe\"/>"
      "<b.dll Version=\"2\" FileName=\"b.zip\"/>",
      "", "<data><ZEPRA><a.dll version=\"1\"/></ZEPRA><OTHER><a.dll version=\"1\"/></OTHER></data>");
  // A stale package from an earlier run lies in the staging folder.
  platform::CreateFolderPath(Staged(""));
  platform::WriteWholeFile(Staged("a.zip"), ZipBuilder().File("a.dll", "STALE").File("a.exe", "MZ").Bytes());
  web.Fail(std::string(kServer) + "clientfile/a.zip", 12002);
  ServePackage("b.zip", ZipBuilder().File("b.dll", "B"));
  WriteAppFile("a.dll", "A1");
  const Calls calls = Run();
  EXPECT_EQ(calls.size(), 5u);  // every progress step is still reported
  EXPECT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(ReadAppFile("a.dll"), "A1");
  EXPECT_EQ(ReadAppFile("b.dll"), "B");
  EXPECT_EQ(Attr("data/ZEPRA/a.dll", "version"), "1");
  EXPECT_EQ(Attr("data/OTHER/a.dll", "version"), "1");
  EXPECT_EQ(Attr("data/ZEPRA/b.dll", "version"), "2");
  EXPECT_TRUE(Started().empty());  // no AutoRun, no Regsvr32
}

TEST_F(Install, DamagedPackageIsNotRecordedButKeptFilesAre) {
  SetUpServer(
      "<page.dll Version=\"2\" FileName=\"page.zip\" IsReplace=\"1\"/>"
      "<keep.dll Version=\"2\" FileName=\"keep.zip\"/>",
      "", "<data><ZEPRA><page.dll version=\"1\"/></ZEPRA></data>");
  // page.zip is answered with the server's 404 page; keep.dll is new to the
  // configuration and its package holds a file no newer than the installed
  // one, which the overwrite rule keeps.
  ServePackage("keep.zip", ZipBuilder().File("keep.dll", "NEW", true, ziptest::Dos(1996, 9, 1, 0, 0, 0)));
  WriteAppFile("page.dll", "P1");
  WriteAppFile("keep.dll", "OLD");
  Run();
  EXPECT_EQ(ReadAppFile("page.dll"), "P1");
  EXPECT_EQ(ReadAppFile("keep.dll"), "OLD");
  EXPECT_EQ(Attr("data/ZEPRA/page.dll", "version"), "1");
  EXPECT_EQ(Attr("data/ZEPRA/keep.dll", "version"), "2");
}

TEST_F(Install, TheLookUpOfAnAddressFromDataSourceIsTraced) {
  // Set-up read the configuration under the empty address; the installation
  // traces the look-up of the address the run used, and records into the
  // file set-up read.
  ServeManifest("<data><ZEPRA><a.dll Version=\"1\" FileName=\"a.zip\"/></ZEPRA></data>");
  WriteAppFile("__AutoUpdateIniC.xml", "<data><DataSource ServerURL=\"" + std::string(kServer) + "\"/></data>");
  ServePackage("a.zip", ZipBuilder().File("a.dll", "A"));
  engine = MakeEngine("");
  ASSERT_TRUE(engine->CheckForUpdates("ZEPRA"));
  engine->Install();
  const std::string trace = ReadAppFile("debug.ini");
  for (const std::string& line : {"取IP-url=" + std::string(kServer), std::string("取IP=10.0.0.5"),
                                 "取端口-url=" + std::string(kServer), std::string("取端口=8080"),
                                 std::string("host=10.0.0.5"), std::string("port=8080")}) {
    EXPECT_NE(trace.find(platform::Utf8ToAnsi(line) + "\r\n"), std::string::npos) << line;
  }
  auto saved = engine::LoadXmlFile(AppPath("__AutoUpdateIniC.xml"));
  EXPECT_EQ(engine::AttributeOr(saved->SelectSingleNode("data/ZEPRA/a.dll"), "version", ""), "1");
}

TEST_F(Install, MissingConfigurationEndsTheRunNamingTheFile) {
  SetUpServer("<a.dll Version=\"1\" FileName=\"a.zip\"/>");
  ServePackage("a.zip", ZipBuilder().File("a.dll", "A"));
  engine = MakeEngine();
  ASSERT_TRUE(engine->CheckForUpdates("ZEPRA"));
  platform::RemoveFile(AppPath(kConfigName));
  try {
    engine->Install();
    FAIL() << "no error";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find(AppPath(kConfigName)), std::string::npos);
  }
  EXPECT_EQ(ReadAppFile("a.dll"), "A");  // unpacked before the recording failed
  EXPECT_TRUE(Started().empty());        // nothing after the recording ran
}

}  // namespace
