#include <gtest/gtest.h>

#include "engine/ecdsa_signature.h"
#include "engine/publisher_keys.h"
#include "platform/crypto.h"
#include "support/engine/signing_vectors.h"

namespace {

using namespace testing_support;

TEST(PublisherKeys, PemOneLineAndSeveral) {
  struct Case {
    std::string text;
    size_t keys, refused;
  };
  const Case cases[] = {
      {kKey1, 1, 0},
      {kKey1OneLine, 1, 0},
      {"  " + kKey1OneLine + "\r\n", 1, 0},
      {kKey1 + "\n" + kKey2 + " " + kKey1OneLine, 3, 0},
      {kP384, 0, 1},                            // another curve
      {"not-a-key", 0, 1},
      {kKey1OneLine.substr(0, 40), 0, 1},       // cut short
      {kKey1.substr(0, kKey1.size() - 30), 0, 1},  // a block that never ends
      {"", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const engine::PublisherKeys keys = engine::ParsePublisherKeys(c.text);
    EXPECT_EQ(keys.keys.size(), c.keys);
    EXPECT_EQ(keys.refused, c.refused);
    for (const std::string& point : keys.keys) EXPECT_EQ(point.size(), 64u);
  }
  EXPECT_EQ(engine::ParsePublisherKeys(kKey1).keys, engine::ParsePublisherKeys(kKey1OneLine).keys);
}

TEST(EcdsaSignature, DerToRawAndRefusals) {
  const std::string der = FromHex(kSignedManifestSignatureHex);
  const std::string raw = engine::RawP256Signature(der);
  ASSERT_EQ(raw.size(), 64u);
  // r as it stands, s without the zero byte that keeps it positive.
  EXPECT_EQ(raw.substr(0, 32), der.substr(4, 32));
  EXPECT_EQ(raw.substr(32), der.substr(39, 32));
  const std::string shortR = FromHex("3008020101020300ff01");  // r = 1, s = 0xff01
  EXPECT_EQ(engine::RawP256Signature(shortR), std::string(31, '\0') + "\x01" + std::string(30, '\0') + "\xff\x01");
  for (const std::string& bad :
       {der + "x", der.substr(0, der.size() - 1), FromHex("3006020101020181"), FromHex("3006020101"),
        FromHex("3026020101022100") + std::string(33, '\x01'), std::string(), FromHex("3100")}) {
    EXPECT_EQ(engine::RawP256Signature(bad), "");
  }
}

TEST(Sha256, KnownDigestsWholeAndInPieces) {
  platform::Sha256 abc;
  abc.Update("abc");
  EXPECT_EQ(FromHex("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"), abc.Finish());
  platform::Sha256 empty;
  EXPECT_EQ(FromHex("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"), empty.Finish());
  platform::Sha256 pieces;
  for (const char* piece : {"a", "", "bc"}) pieces.Update(piece);
  EXPECT_EQ(FromHex("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"), pieces.Finish());
}

TEST(VerifyP256Signature, PointsOffTheCurveAndWrongSizesVerifyNothing) {
  const std::string raw = engine::RawP256Signature(FromHex(kSignedManifestSignatureHex));
  const std::string point = engine::ParsePublisherKeys(kKey1).keys.at(0);
  EXPECT_TRUE(platform::VerifyP256Signature(point, kSignedManifest, raw));
  std::string offCurve = point;
  offCurve[63] ^= 1;
  EXPECT_FALSE(platform::VerifyP256Signature(offCurve, kSignedManifest, raw));
  EXPECT_FALSE(platform::VerifyP256Signature(point.substr(1), kSignedManifest, raw));
  EXPECT_FALSE(platform::VerifyP256Signature(point, kSignedManifest, raw.substr(1)));
  EXPECT_FALSE(platform::VerifyP256Signature(point, kSignedManifest, std::string(64, '\0')));
}

}  // namespace
