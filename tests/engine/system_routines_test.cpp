#include "engine/system_routines.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "support/fakes.h"
#include "support/sandbox.h"

namespace {
using platform::RegistryRoot;

TEST(IsBDEInstalled, OnlyANonEmptyPathCounts) {
  testing_support::FakeRegistry registry;
  EXPECT_FALSE(engine::IsBDEInstalled(registry));  // key missing
  registry.values[{RegistryRoot::LocalMachine, "Software\\Borland\\BLW32", "BLAPIPATH"}] = "";
  EXPECT_FALSE(engine::IsBDEInstalled(registry));
  registry.values[{RegistryRoot::LocalMachine, "Software\\Borland\\BLW32", "BLAPIPATH"}] = "C:\\BDE";
  EXPECT_TRUE(engine::IsBDEInstalled(registry));
  registry.values[{RegistryRoot::CurrentUser, "Software\\Borland\\BLW32", "BLAPIPATH"}] = "C:\\BDE";
  registry.values.erase({RegistryRoot::LocalMachine, "Software\\Borland\\BLW32", "BLAPIPATH"});
  EXPECT_FALSE(engine::IsBDEInstalled(registry));  // only the machine's setting counts
}

TEST(ForceDirectories, CreatesMissingParentsTopDown) {
  testing_support::Sandbox box;
  engine::ForceDirectories(box.path("a\\b\\c\\"));
  EXPECT_TRUE(platform::DirectoryExists(box.path("a")));
  EXPECT_TRUE(platform::DirectoryExists(box.path("a\\b\\c")));
  engine::ForceDirectories(box.path("a\\b\\c"));  // existing: nothing to do
  EXPECT_TRUE(platform::DirectoryExists(box.path("a\\b\\c")));
}

TEST(ForceDirectories, NothingForEmptyShortRootOrUncreatable) {
  testing_support::Sandbox box;
  engine::ForceDirectories("");
  engine::ForceDirectories("C:");
  engine::ForceDirectories("C:\\");
  engine::ForceDirectories("ab");
  // A file where a folder should be: silently stays missing.
  box.write("file", "x");
  engine::ForceDirectories(box.path("file\\sub"));
  EXPECT_FALSE(platform::DirectoryExists(box.path("file\\sub")));
}

}  // namespace
