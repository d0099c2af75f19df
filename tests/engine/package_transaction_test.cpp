// A package is installed whole or not at all, also when the run is killed
// between any two of its steps: the journal lets the next run undo it.
#include "engine/package_transaction.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "platform/file_info.h"
#include "platform/files.h"
#include "support/platform/sandbox.h"

namespace {

using Files = std::map<std::string, std::string>;  // path -> bytes

class Transaction : public ::testing::Test {
 protected:
  void SetUp() override {
    box.mkdirs("App");
    box.mkdirs("Temp");
    box.write("App\\a.dll", "a old");
    box.write("App\\b.dll", "b old");
    for (const char* name : {"a.dll", "b.dll", "c.dll"}) box.write(std::string("Temp\\") + name, std::string(name) + " new");
  }
  std::string Path(const std::string& relative) const { return box.path(relative); }
  std::string Journal() const { return Path("App\\AutoUpdate.journal"); }
  std::vector<std::string> Targets() const { return {Path("App") + "\\"}; }

  // The files the test looks at, with their bytes ("" names a folder).
  Files State() const {
    Files files;
    for (const char* name : {"App\\a.dll", "App\\b.dll", "App\\sub\\c.dll", "App\\a.dll.~unzip"}) {
      if (box.exists(name)) files[name] = box.read(name);
    }
    if (platform::DirectoryExists(Path("App\\sub"))) files["App\\sub"] = "";
    for (int i = 0; i < 2; ++i) {
      for (const char* name : {"a.dll", "b.dll"}) {
        const std::string aside = std::string("App\\~") + name + ".~old" + std::to_string(i);
        if (box.exists(aside)) files[aside] = box.read(aside);
      }
    }
    return files;
  }
  void Restore(const Files& files, const Files& now) {
    for (const auto& [name, bytes] : now) {
      if (!bytes.empty()) platform::RemoveFile(Path(name));
    }
    for (const auto& [name, bytes] : files) {
      if (bytes.empty()) platform::CreateFolderPath(Path(name));
    }
    for (const auto& [name, bytes] : files) {
      if (!bytes.empty()) box.write(name, bytes);
    }
    if (!files.count("App\\sub")) platform::RemoveEmptyFolder(Path("App\\sub"));
  }

  // The package's steps, in order: two replaced files and a new one in a
  // new folder.
  std::vector<std::function<void(engine::PackageTransaction&)>> Steps() {
    return {[&](auto& t) { EXPECT_TRUE(t.Replace(Path("Temp\\a.dll"), Path("App\\a.dll"))); },
            [&](auto& t) { EXPECT_TRUE(t.Replace(Path("Temp\\b.dll"), Path("App\\b.dll"))); },
            [&](auto& t) {
              platform::CreateFolderPath(Path("App\\sub"));
              t.FolderCreated(Path("App\\sub"));
            },
            [&](auto& t) { EXPECT_TRUE(t.Replace(Path("Temp\\c.dll"), Path("App\\sub\\c.dll"))); }};
  }

  testing_support::Sandbox box;
};

// Killed after each step, and in the middle of one (its journal lines
// written, the rename not made): the next run finds everything as it was.
TEST_F(Transaction, AKilledPackageIsUndoneByTheNextRun) {
  const Files before = State();
  const size_t count = Steps().size();
  for (size_t done = 0; done <= count; ++done) {
    for (const bool midStep : {false, true}) {
      SCOPED_TRACE(std::to_string(done) + (midStep ? " steps and journal lines" : " steps"));
      Files crashed;
      std::string journal;
      {
        engine::InstallJournal run(Journal());
        engine::PackageTransaction t(run);
        auto steps = Steps();
        for (size_t i = 0; i < done; ++i) steps[i](t);
        crashed = State();
        t.RollBack();  // a package that failed: undone at once
      }
      // The journal as the kill left it: nobody may read it while it is
      // written, so it is read afterwards, less the roll-back's last line.
      journal = box.read("App\\AutoUpdate.journal");
      ASSERT_TRUE(journal.ends_with("undone\n"));
      journal.resize(journal.size() - std::string("undone\n").size());
      if (midStep) {
        // Killed while decoding an entry, before its rename.
        journal += "decoded\t" + Path("App\\a.dll.~unzip") + "\naside\t" + Path("App\\a.dll") + "\t" +
                   Path("App\\~a.dll.~old9") + "\n";
        crashed["App\\a.dll.~unzip"] = "half";
      }
      EXPECT_EQ(State(), before);
      Restore(crashed, State());
      box.write("App\\AutoUpdate.journal", journal);
      engine::RecoverFromJournal(Journal(), Targets());
      EXPECT_EQ(State(), before);
      EXPECT_FALSE(platform::FileExists(Journal()));
      for (const char* name : {"a.dll", "b.dll", "c.dll"}) box.write(std::string("Temp\\") + name, std::string(name) + " new");
    }
  }
}

// Killed once every file is in place: what the configuration records
// decides. Not yet written: the package is undone; written: it stays.
TEST_F(Transaction, AKilledRunKeepsWhatTheConfigurationRecords) {
  const Files before = State();
  const Files after = {{"App\\a.dll", "a.dll new"}, {"App\\b.dll", "b.dll new"},
                       {"App\\sub\\c.dll", "c.dll new"}, {"App\\sub", ""}};
  for (const bool saved : {false, true}) {
    SCOPED_TRACE(saved ? "configuration written" : "configuration not written");
    box.write("App\\config.xml", "old record");
    {
      engine::InstallJournal run(Journal());
      engine::PackageTransaction t(run);
      for (auto& step : Steps()) step(t);
      run.Recording(Path("App\\config.xml"), "new record");
      if (saved) box.write("App\\config.xml", "new record");
    }
    engine::RecoverFromJournal(Journal(), Targets());  // as the next run starts
    EXPECT_EQ(State(), saved ? after : before);
    EXPECT_FALSE(platform::FileExists(Journal()));
    Restore(before, State());
    platform::RemoveEmptyFolder(Path("App\\sub"));
    for (const char* name : {"a.dll", "b.dll", "c.dll"}) box.write(std::string("Temp\\") + name, std::string(name) + " new");
  }
}

TEST_F(Transaction, CommittedPackageKeepsTheNewFilesAndDropsTheOriginals) {
  {
    engine::InstallJournal run(Journal());
    engine::PackageTransaction t(run);
    for (auto& step : Steps()) step(t);
    run.Commit();
  }
  EXPECT_EQ(State(), (Files{{"App\\a.dll", "a.dll new"}, {"App\\b.dll", "b.dll new"},
                            {"App\\sub\\c.dll", "c.dll new"}, {"App\\sub", ""}}));
  EXPECT_FALSE(platform::FileExists(Journal()));
  // An original that was still in use when its package committed goes on
  // the next run, the new file staying.
  box.write("App\\~a.dll.~old0", "a old");
  box.write("App\\AutoUpdate.journal", "package\naside\t" + Path("App\\a.dll") + "\t" +
                                           Path("App\\~a.dll.~old0") + "\nplaced\t" + Path("App\\a.dll") + "\ncommit\n");
  engine::RecoverFromJournal(Journal(), Targets());
  EXPECT_FALSE(box.exists("App\\~a.dll.~old0"));
  EXPECT_EQ(box.read("App\\a.dll"), "a.dll new");
  EXPECT_FALSE(platform::FileExists(Journal()));
}

// Recovery acts only on a journal nobody has open (a running updater's is
// not a leftover) and only on paths inside the installation's folders.
TEST_F(Transaction, RecoveryLeavesALiveJournalAndForeignPathsAlone) {
  const Files before = State();
  {
    engine::InstallJournal live(Journal());
    engine::PackageTransaction t(live);
    for (auto& step : Steps()) step(t);
    engine::RecoverFromJournal(Journal(), Targets());  // a second updater
    EXPECT_NE(State(), before);
    EXPECT_TRUE(platform::FileExists(Journal()));
  }
  engine::RecoverFromJournal(Journal(), Targets());
  EXPECT_EQ(State(), before);

  box.write("Temp\\~x.dll.~old0", "planted");
  box.write("App\\AutoUpdate.journal", "package\naside\t" + Path("Temp\\x.dll") + "\t" + Path("Temp\\~x.dll.~old0") +
                                           "\nplaced\t" + Path("App\\a.dll") + "\n");
  engine::RecoverFromJournal(Journal(), Targets());
  EXPECT_FALSE(box.exists("Temp\\x.dll"));
  EXPECT_EQ(box.read("Temp\\~x.dll.~old0"), "planted");
  EXPECT_FALSE(platform::FileExists(Journal()));
}

}  // namespace
