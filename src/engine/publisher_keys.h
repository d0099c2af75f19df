#pragma once
// The publisher keys an administrator configures: ECDSA P-256 public keys,
// each as PEM ("-----BEGIN PUBLIC KEY-----" ... as `openssl ec -pubout`
// writes it) or as the one-line base64 of the same key, separated by blanks
// or line breaks.
#include <string>
#include <string_view>
#include <vector>

namespace engine {

struct PublisherKeys {
  std::vector<std::string> keys;  // each the point's X and Y, 32 bytes each
  size_t refused = 0;             // texts that were no P-256 public key
};

PublisherKeys ParsePublisherKeys(std::string_view text);

// The point of a DER SubjectPublicKeyInfo holding an uncompressed P-256 key;
// empty when it holds anything else.
std::string P256PointOf(std::string_view subjectPublicKeyInfo);

}  // namespace engine
