#pragma once
// The publisher's side of signed manifests: an ECDSA P-256 private key, made
// or read and used by the system's cryptography (OpenSSL's libcrypto; the
// publishing tool is built natively only).
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class SigningKey {
 public:
  // A fresh key from the system's random source.
  static SigningKey Generate();
  // A private key in PEM as openssl writes it ("EC PRIVATE KEY" or "PRIVATE
  // KEY"). std::invalid_argument, saying why, for anything that is not a
  // P-256 private key.
  static SigningKey FromPem(std::string_view pem);

  SigningKey(SigningKey&&) noexcept;
  SigningKey& operator=(SigningKey&&) noexcept;
  ~SigningKey();

  std::string PrivatePem() const;  // PKCS#8
  // Writes PrivatePem to a new file that only its owner can read or write
  // from the moment it exists. An existing file or a link by that name is
  // refused (OsError), never followed or overwritten.
  void SavePrivatePem(const std::string& path) const;
  std::string PublicPem() const;   // as `openssl ec -pubout` writes it
  // The DER ECDSA signature over the SHA-256 of message, as
  // `openssl dgst -sha256 -sign` writes it.
  std::string Sign(std::string_view message) const;

 private:
  struct Impl;
  explicit SigningKey(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
