#include "engine/database_engine.h"

#include <gtest/gtest.h>

#include "support/platform/fakes.h"

namespace {
using platform::RegistryRoot;

TEST(IsDatabaseEngineInstalled, OnlyANonEmptyPathCounts) {
  testing_support::FakeRegistry registry;
  EXPECT_FALSE(engine::IsDatabaseEngineInstalled(registry));  // key missing
  registry.values[{RegistryRoot::LocalMachine, "Software\\Borland\\BLW32", "BLAPIPATH"}] = "";
  EXPECT_FALSE(engine::IsDatabaseEngineInstalled(registry));
  registry.values[{RegistryRoot::LocalMachine, "Software\\Borland\\BLW32", "BLAPIPATH"}] = "C:\\BDE";
  EXPECT_TRUE(engine::IsDatabaseEngineInstalled(registry));
  registry.values[{RegistryRoot::CurrentUser, "Software\\Borland\\BLW32", "BLAPIPATH"}] = "C:\\BDE";
  registry.values.erase({RegistryRoot::LocalMachine, "Software\\Borland\\BLW32", "BLAPIPATH"});
  EXPECT_FALSE(engine::IsDatabaseEngineInstalled(registry));  // only the machine's setting counts
}

}  // namespace
