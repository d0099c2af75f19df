#pragma once
// `au-publish verify`: the server folder checked the way clients will read
// it: the manifest parsed as the updater parses it, every package present,
// a readable zip with safe entry names, matching its SHA256 and Size, and the
// manifest's signature.
#include <optional>
#include <string>
#include <vector>

namespace publish {

struct VerifyReport {
  std::vector<std::string> lines;  // one per finding, for the administrator
  int problems = 0;                // findings that would fail clients
};

// publicKeyPem: the publisher keys as clients have them configured (PEM or
// one-line base64, several allowed); nullopt: the signature is not checked.
VerifyReport Verify(const std::string& serverDir, const std::optional<std::string>& publicKeyPem);

}  // namespace publish
