#pragma once
// Hashing and signature checks by the system's own cryptography: Windows CNG
// in the product, OpenSSL's libcrypto natively. Nothing here is home-made.
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// SHA-256 of a byte stream fed in pieces. OsError when the system cannot
// hash at all.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void Update(std::string_view bytes);
  std::string Finish();  // the 32-byte digest; the object is done then

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// True when `signature` (r and s, 32 bytes each) is an ECDSA P-256 signature
// over the SHA-256 of `message` by the key whose point is `point` (X and Y,
// 32 bytes each). A point that is no point of the curve verifies nothing.
// OsError when the system cannot check signatures at all.
bool VerifyP256Signature(std::string_view point, std::string_view message, std::string_view signature);

}  // namespace platform
