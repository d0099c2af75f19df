#include "app/protocol_registration.h"

#include <gtest/gtest.h>

#include "platform/os_error.h"
#include "support/platform/fakes.h"

namespace {
using platform::RegistryRoot;
using testing_support::FakeRegistry;

const std::string kProgram = "C:\\Program Files\\Zepra\\AutoUpdate.exe";

TEST(ProtocolCommand, QuotedProgramAndArgument) {
  EXPECT_EQ(app::ProtocolCommand(kProgram), "\"C:\\Program Files\\Zepra\\AutoUpdate.exe\" \"%1\"");
}

TEST(RegisterProtocol, ThreeValuesInOrder) {
  FakeRegistry reg;
  app::RegisterProtocol(reg, kProgram);
  ASSERT_EQ(reg.writes.size(), 3u);
  const struct {
    RegistryRoot root;
    const char *key, *name;
    std::string data;
  } expected[] = {
      {RegistryRoot::ClassesRoot, "ZEPRA", "URL Protocol", "URL:ZEPRA"},
      {RegistryRoot::ClassesRoot, "ZEPRA\\shell\\open\\command", "", app::ProtocolCommand(kProgram)},
      {RegistryRoot::LocalMachine,
       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\5.0\\User Agent\\Post Platform",
       "ZEPRA 1.0", ""},
  };
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(reg.writes[i].root, expected[i].root);
    EXPECT_EQ(reg.writes[i].key, expected[i].key);
    EXPECT_EQ(reg.writes[i].name, expected[i].name);
    EXPECT_EQ(reg.writes[i].data, expected[i].data);
  }
  // The protocol key's own default value stays unwritten.
  EXPECT_FALSE(reg.ReadString(RegistryRoot::ClassesRoot, "ZEPRA", "").has_value());
}

// Refuses to open one key, or raises on the write of one value.
class SelectiveRegistry : public FakeRegistry {
 public:
  bool WriteString(RegistryRoot root, const std::string& key, const std::string& name,
                   const std::string& data) override {
    if (key == unopenable) {
      writes.push_back({root, key, name, data});
      return false;
    }
    if (name == refusedValue) throw platform::OsError("Access denied.");
    return FakeRegistry::WriteString(root, key, name, data);
  }
  std::string unopenable = "-";
  std::string refusedValue = "-";
};

TEST(RegisterProtocol, UnopenableProtocolKeySkipsItsCommandKey) {
  SelectiveRegistry reg;
  reg.unopenable = "ZEPRA";
  app::RegisterProtocol(reg, kProgram);
  ASSERT_EQ(reg.writes.size(), 2u);
  EXPECT_EQ(reg.writes[0].key, "ZEPRA");
  EXPECT_EQ(reg.writes[1].name, "ZEPRA 1.0");
}

TEST(RegisterProtocol, UnopenableCommandKeyStillWritesTheUserAgentToken) {
  SelectiveRegistry reg;
  reg.unopenable = app::kProtocolCommandKey;
  app::RegisterProtocol(reg, kProgram);
  EXPECT_EQ(reg.writes.size(), 3u);
  EXPECT_EQ(reg.ReadString(RegistryRoot::LocalMachine, app::kUserAgentKey, "ZEPRA 1.0"), "");
}

TEST(RegisterProtocol, RefusedWriteStopsWithTheError) {
  SelectiveRegistry reg;
  reg.refusedValue = "URL Protocol";
  EXPECT_THROW(app::RegisterProtocol(reg, kProgram), platform::OsError);
  EXPECT_TRUE(reg.writes.empty());
}

}  // namespace
