#include "engine/server_address.h"

#include <gtest/gtest.h>

#include "engine/trace_file.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "support/sandbox.h"

namespace {
using testing_support::Sandbox;

TEST(TextBeforeAfter, CharacterPresentOrAbsent) {
  EXPECT_EQ(engine::TextBefore("host:81", ':'), "host");
  EXPECT_EQ(engine::TextAfter("host:81", ':'), "81");
  EXPECT_EQ(engine::TextBefore("host", ':'), "");
  EXPECT_EQ(engine::TextAfter("host", ':'), "host");
  EXPECT_EQ(engine::TextAfter("a:b:c", ':'), "b:c");
}

struct AddressCase {
  const char* address;
  const char* host;
  const char* port;
  const char* configName;
};

TEST(ServerAddress, HostPortAndConfigName) {
  Sandbox box;
  const AddressCase cases[] = {
      {"http://server:8080/update/", "server", "8080", "server_8080_AutoUpdateIniC.xml"},
      {"HTTP://Server:81", "Server", "81", "Server_81_AutoUpdateIniC.xml"},
      {"http://server/update/", "server", "", "server__AutoUpdateIniC.xml"},
      {"server:8080", "server:8080", "", "server:8080__AutoUpdateIniC.xml"},
      {"https://srv:443/x", "https://srv:443/x", "", "https://srv:443/x__AutoUpdateIniC.xml"},
      {"", "", "", "__AutoUpdateIniC.xml"},
      {"http://10.0.0.5:8080/", "10.0.0.5", "8080", "10.0.0.5_8080_AutoUpdateIniC.xml"},
      // The first "http://" is removed wherever it stands.
      {"xhttp://h:1/p", "xh", "1", "xh_1_AutoUpdateIniC.xml"},
      {"http://h:1:2/p", "h", "1:2", "h_1:2_AutoUpdateIniC.xml"},
  };
  for (const AddressCase& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(engine::GetUrlHost(c.address), c.host);
    EXPECT_EQ(engine::GetUrlPort(c.address), c.port);
    EXPECT_EQ(engine::ClientConfigName(c.address), c.configName);
  }
}

TEST(ServerAddress, ConfigNameWritesSixKeysLatestValues) {
  Sandbox box;
  engine::ClientConfigName("http://one:1/");
  engine::ClientConfigName("http://two:2/");
  const std::string expected = platform::Utf8ToAnsi(
      "[debug]\r\n"
      "取IP-url=http://two:2/\r\n"
      "取IP=two\r\n"
      "取端口-url=http://two:2/\r\n"
      "取端口=2\r\n"
      "host=two\r\n"
      "port=2\r\n");
  EXPECT_EQ(box.read("Client\\Update\\debug.ini"), expected);
}

TEST(TraceFile, UnwritableFolderRaisesWithFullPath) {
  Sandbox box;
  // A program folder that does not exist cannot take debug.ini.
  platform::SetProgramPathForTests(box.path("nowhere\\AutoUpdate.exe"));
  try {
    engine::DebugLog("k", "v");
    FAIL() << "no error";
  } catch (const engine::ETraceWriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + box.path("nowhere\\debug.ini"));
  }
}

}  // namespace
