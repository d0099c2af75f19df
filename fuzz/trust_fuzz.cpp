// Publisher keys, branch mirrors and signatures from outside (the registry
// an administrator fills, the server's signature file). Checks that the key and signature
// readers never read outside their input and give either nothing or exactly
// a P-256 point or signature, and that the system's verifier takes whatever
// they give. Every mirror address read is one word the address rule takes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/ecdsa_signature.h"
#include "engine/mirror_list.h"
#include "engine/publisher_keys.h"
#include "platform/crypto.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const engine::PublisherKeys keys = engine::ParsePublisherKeys(input);
  for (const std::string& point : keys.keys) Check(point.size() == 64, "a key of another size");
  const engine::MirrorList mirrors = engine::ParseMirrors(input);
  Check(mirrors.addresses.size() <= engine::kMaxMirrors, "too many mirrors");
  for (const std::string& address : mirrors.addresses) {
    Check(engine::IsMirrorAddress(address), "a mirror address the rule refuses");
    Check(address.find_first_of(" \t\r\n") == std::string::npos, "a mirror address with a blank");
  }
  const std::string point = engine::P256PointOf(input);
  Check(point.empty() || point.size() == 64, "a point of another size");
  const std::string signature = engine::RawP256Signature(input);
  Check(signature.empty() || signature.size() == 64, "a signature of another size");
  // The first 64 bytes as a point, the rest as a signature and a message.
  if (size >= 128) {
    platform::VerifyP256Signature(input.substr(0, 64), input.substr(128), input.substr(64, 64));
  }
  return 0;
}
