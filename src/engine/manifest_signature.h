#pragma once
// Signed manifests: an administrator configures publisher keys on the
// machine, and the updater then installs only from a manifest that one of
// them signed (a DER ECDSA signature over the SHA-256 of the exact bytes, in
// "AutoUpdateIniS.xml.sig" beside it, as `openssl dgst -sha256 -sign` writes
// it).
#include <optional>
#include <string>
#include <string_view>

#include "engine/publisher_keys.h"

namespace platform {
class IRegistry;
}

namespace engine {

// HKEY_LOCAL_MACHINE\SOFTWARE\ZEPRA\AutoUpdate, value PublisherKeys (REG_SZ
// or REG_MULTI_SZ), where only administrators can write.
inline constexpr const char* kPublisherKeysKey = "SOFTWARE\\ZEPRA\\AutoUpdate";
inline constexpr const char* kPublisherKeysValue = "PublisherKeys";
inline constexpr std::string_view kSignatureSuffix = ".sig";

// The keys configured on this machine; nullopt when none are (no value, or
// only blanks).
std::optional<PublisherKeys> ConfiguredPublisherKeys(platform::IRegistry& registry);

inline constexpr const char* kSignatureMismatch = "签名与更新说明不符，或不是由本机信任的发布者签署";

// Empty when the signature is one of the keys' over exactly these bytes;
// otherwise why not, for the user (kSignatureMismatch when it is a
// signature, but not one of theirs over these bytes).
std::string SignatureProblem(const PublisherKeys& keys, std::string_view manifest, std::string_view signature);

}  // namespace engine
