// A signed manifest older than the last one accepted from its server, or past
// its expiry, installs nothing; the machine remembers the highest serial.
// (Natively only: the test signs manifests of its own.)
#include <gtest/gtest.h>

#include <ctime>

#include "engine/manifest_freshness.h"
#include "platform/codepage.h"
#include "platform/signing_key.h"
#include "support/app/user_run_fixture.h"

namespace {
using EngineTest = app_testing::UserRunTest;
using engine_testing::kServer;

class Freshness : public EngineTest {
 protected:
  void SetUp() override {
    registry.values[{platform::RegistryRoot::LocalMachine, "SOFTWARE\\ZEPRA\\AutoUpdate", "PublisherKeys"}] =
        key.PublicPem();
    UseLocalConfig("<data/>");
  }
  // Serves a signed manifest with these root attributes; true when the
  // engine took it.
  bool Offer(const std::string& rootAttributes, const std::string& body = "<ZEPRA/>") {
    const std::string manifest = "<?xml version=\"1.0\" encoding=\"GB2312\"?><data" + rootAttributes + ">" + body + "</data>";
    ServeManifest(manifest);
    web.Serve(std::string(kServer) + "AutoUpdateIniS.xml.sig", key.Sign(manifest));
    messages.shown.clear();
    const bool used = MakeEngine()->manifest() != nullptr;
    EXPECT_EQ(messages.shown.size(), used ? 0u : 1u);
    return used;
  }
  std::string Kept() const {
    const auto it = registry.values.find({platform::RegistryRoot::LocalMachine, engine::kAcceptedManifestsKey, "10.0.0.5_8080"});
    return it == registry.values.end() ? "<none>" : it->second.substr(0, it->second.find(' '));
  }
  platform::SigningKey key = platform::SigningKey::Generate();
};

TEST_F(Freshness, AnOlderOrExpiredManifestIsRefused) {
  EXPECT_TRUE(Offer(""));  // a server that never sent a serial: as before
  EXPECT_EQ(Kept(), "<none>");
  EXPECT_TRUE(Offer(R"( Serial="5")"));
  EXPECT_EQ(Kept(), "5");
  EXPECT_FALSE(Offer(R"( Serial="4")"));  // the previous release, replayed
  EXPECT_NE(messages.shown[0].text.find("更新说明（AutoUpdateIniS.xml）不能使用：更新说明的序号 4 低于本机已接受的 5"),
            std::string::npos)
      << messages.shown[0].text;
  EXPECT_FALSE(Offer(R"( Serial="5")", "<ZEPRA><a.dll Version=\"1\"/></ZEPRA>"));
  EXPECT_FALSE(Offer(""));  // the serial cannot be dropped again
  EXPECT_FALSE(Offer(R"( Serial="9" Expires="20200101000000")"));
  EXPECT_EQ(Kept(), "5");
  const std::string future = engine::FormatUtcStamp(std::time(nullptr) + 86400);
  EXPECT_TRUE(Offer(R"( Serial="9" Expires=")" + future + "\""));
  EXPECT_EQ(Kept(), "9");
  EXPECT_NE(ReadAppFile("debug.ini").find(platform::Utf8ToAnsi("清单时效=已接受：序号 9")), std::string::npos);
}

TEST_F(Freshness, WithoutKeysNothingIsRemembered) {
  registry.values.clear();
  ServeManifest(R"(<data Serial="5"><ZEPRA/></data>)");
  EXPECT_NE(MakeEngine()->manifest(), nullptr);
  ServeManifest(R"(<data Serial="1" Expires="20200101000000"><ZEPRA/></data>)");
  EXPECT_NE(MakeEngine()->manifest(), nullptr);
  EXPECT_EQ(Kept(), "<none>");
}

}  // namespace
