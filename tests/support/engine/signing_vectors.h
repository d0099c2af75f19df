#pragma once
// Signing test vectors, the same natively (OpenSSL) and under Wine (CNG).
#include <string>

namespace testing_support {

// Two P-256 key pairs made with `openssl ecparam -name prime256v1 -genkey`,
// their public keys as `openssl ec -pubout` writes them, and a P-384 key.
inline const std::string kKey1 =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEQ7BuTnWcGeLh8DKbNYFa+oZ/TfyH\n"
    "lY9z0LjHtkErQ9Qu+8oA8dkrkl285RWd7z26jhfF3XbFHj0BQBSs22eO+A==\n"
    "-----END PUBLIC KEY-----\n";
inline const std::string kKey2 =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEGOyLrsxM39ZkIqxjdneoB/xdoGDV\n"
    "B3+ULzuZGL+nxHzSFRu6qeDMSL5LPa92/2YkglmlkCuDHSAI1kTnlpuFtg==\n"
    "-----END PUBLIC KEY-----\n";
inline const std::string kP384 =
    "-----BEGIN PUBLIC KEY-----\n"
    "MHYwEAYHKoZIzj0CAQYFK4EEACIDYgAEg6WIwEiG7DwJMJXndbxCU1fS8svwbIDM\n"
    "5oX1r4weRNrQU8G4zrdBlJ93NWATFSxHNnhQw2hx5XrVkIlfxpPXHh/SeurFbos1\n"
    "A9NI0NN0jSbx3oLMnrhxEGIhHG7iwwVO\n"
    "-----END PUBLIC KEY-----\n";
inline const std::string kKey1OneLine =
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEQ7BuTnWcGeLh8DKbNYFa+oZ/TfyH"
    "lY9z0LjHtkErQ9Qu+8oA8dkrkl285RWd7z26jhfF3XbFHj0BQBSs22eO+A==";
// `openssl dgst -sha256 -sign key1.pem` of the manifest below.
inline const std::string kSignedManifest = R"(<?xml version="1.0" encoding="GB2312"?><data/>)";
inline const std::string kSignedManifestSignatureHex =
    "3045022051155ca13757487ee32c59e2499382a5046b3680e4ef30cc9fc0a93cda1e6e80"
    "022100dfa42902cf07cf68aeaeb4905e9590a17c55f5b5e319a1767456d7cb36abc96a";

// Bytes of a hexadecimal text.
inline std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

}  // namespace testing_support
