#include "engine/server_address.h"

#include <gtest/gtest.h>

#include "engine/trace_file.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "support/platform/sandbox.h"

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
  const char* configName;  // nullptr: refused, it would be no plain file name
};

TEST(ServerAddress, HostPortAndConfigName) {
  const AddressCase cases[] = {
      {"http://server:8080/update/", "server", "8080", "server_8080_AutoUpdateIniC.xml"},
      {"HTTP://Server:81", "Server", "81", "Server_81_AutoUpdateIniC.xml"},
      {"http://server/update/", "server", "", "server__AutoUpdateIniC.xml"},
      {"", "", "", "__AutoUpdateIniC.xml"},
      {"server", "server", "", "server__AutoUpdateIniC.xml"},
      {"http://10.0.0.5:8080/", "10.0.0.5", "8080", "10.0.0.5_8080_AutoUpdateIniC.xml"},
      {"http://服务器:80/", "服务器", "80", "服务器_80_AutoUpdateIniC.xml"},
      // The first "http://" is removed wherever it stands.
      {"xhttp://h:1/p", "xh", "1", "xh_1_AutoUpdateIniC.xml"},
      // Refused: a stream, a path or a device instead of a file name.
      {"server:8080", "server:8080", "", nullptr},
      {"https://srv:443/x", "https://srv:443/x", "", nullptr},
      {"http://h:1:2/p", "h", "1:2", nullptr},
      {"hTTp://a\\b:1/", "a\\b", "1", nullptr},
      {"http://..:1/", "..", "1", nullptr},
      {"http://h:..\\..\\x/", "h", "..\\..\\x", nullptr},
      {"..\\..\\Windows\\x", "..\\..\\Windows\\x", "", nullptr},
      {"http://CON:1/", "CON", "1", nullptr},
      {"http://nul.example:1/", "nul.example", "1", nullptr},
      {"http://h:8\"0/", "h", "8\"0", nullptr},
      {"http://h\t:1/", "h\t", "1", nullptr},
  };
  for (const AddressCase& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(engine::UrlHost(c.address), c.host);
    EXPECT_EQ(engine::UrlPort(c.address), c.port);
    EXPECT_EQ(engine::IsUsableServerAddress(c.address), c.configName != nullptr);
    if (c.configName) {
      EXPECT_EQ(engine::ConfigFileName(c.address), c.configName);
    } else {
      EXPECT_THROW(engine::ConfigFileName(c.address), engine::BadServerAddress);
    }
  }
}

// What a web page may name: a plain ASCII host and a numeric port, nothing an
// HTTP client could read as another host than the one the user is shown.
TEST(ServerAddress, ClearWebAddresses) {
  const std::pair<const char*, bool> cases[] = {
      {"", true},
      {"http://server:8080/update/", true},
      {"HTTP://Server:81", true},
      {"http://server/update/", true},
      {"http://10.0.0.5:8080/", true},
      {"http://xn--fiq228c.example:1/", true},
      {"http://my_host.corp-1:65535/a@b%20\\c", true},  // the path is the server's business
      {"http://h.:1/", true},
      {"server", true},
      {"http://erp.corp:80@evil.example/", false},
      {"http://user@evil.example/", false},
      {"http://evil%2eexample/", false},
      {"http://evil\\erp.corp/", false},
      {"http://erp.corp\\@evil/", false},
      {"http://服务器:80/", false},
      {"http://b\xC3\xBCro:80/", false},
      {"http://h:0/", false},
      {"http://h:65536/", false},
      {"http://h:099999/", false},
      {"http://h:/", false},
      {"http://h:8a/", false},
      {"http://h:-1/", false},
      {"http://h:1:2/", false},
      {"http://:80/", false},
      {"http:///x", false},
      {"http://../", false},
      {"http://.h/", false},
      {"http://a..b/", false},
      {"http://h#@evil/", false},
      {"http://h?x/", false},
      {"http://h x/", false},
      {"https://h/", false},
      {"xhttp://h:1/p", false},
      {"server:8080", false},
      {"server/update", false},
      {"..\\x", false},
  };
  for (const auto& [address, clear] : cases) {
    SCOPED_TRACE(address);
    EXPECT_EQ(engine::IsClearWebAddress(address), clear);
  }
}

// The user is shown the host (and port) an HTTP client contacts: whatever
// comes before an "@" names a user.
TEST(ServerAddress, DisplayNameIsTheContactedHost) {
  const std::pair<const char*, const char*> cases[] = {
      {"http://10.0.0.5:8080/upd/", "10.0.0.5:8080"},
      {"http://server/", "server"},
      {"HTTP://Server:81", "Server:81"},
      {"server", "server"},
      {"http://erp.corp:80@evil.example/", "evil.example"},
      {"http://a@b@evil.example:81/x@y", "evil.example:81"},
  };
  for (const auto& [address, shown] : cases) {
    SCOPED_TRACE(address);
    EXPECT_EQ(engine::ServerDisplayName(address), shown);
  }
}

TEST(TraceFile, UnwritableFolderRaisesWithFullPath) {
  Sandbox box;
  // A program folder that does not exist cannot take debug.ini.
  const engine::TraceFile trace(box.path("nowhere\\AutoUpdate.exe"));
  EXPECT_EQ(trace.path(), box.path("nowhere\\debug.ini"));
  try {
    trace.Write("k", "v");
    FAIL() << "no error";
  } catch (const engine::TraceWriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + box.path("nowhere\\debug.ini"));
  }
}

}  // namespace
