#pragma once
// Signed manifests that cannot be replayed or frozen. A manifest's root may
// carry "Serial" (a decimal number that only grows with each publication)
// and "Expires" (UTC, "YYYYMMDDhhmmss"), covered by its signature. Where
// publisher keys are configured the machine remembers, per server, the
// highest serial it accepted and the SHA-256 of that manifest, in a registry
// value only administrators can write: an older manifest, the same serial
// with other bytes, one past its expiry, or one without a serial from a
// server that has sent one, is refused.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace platform {
class IRegistry;
}
namespace xml {
class XmlDocument;
}

namespace engine {

// HKEY_LOCAL_MACHINE\SOFTWARE\ZEPRA\AutoUpdate\Servers, one value per server
// named like its configuration file ("<host>_<port>"): "<serial> <sha256>".
inline constexpr const char* kAcceptedManifestsKey = "SOFTWARE\\ZEPRA\\AutoUpdate\\Servers";
// REG_SZ beside PublisherKeys: minutes an expiry may lie behind this
// machine's clock before the manifest counts as stale (clocks drift).
inline constexpr const char* kClockMarginValue = "ClockMarginMinutes";
inline constexpr std::int64_t kDefaultClockMarginMinutes = 60;

struct ManifestAge {
  std::optional<std::uint64_t> serial;
  std::optional<std::time_t> expires;
};

struct AcceptedManifest {
  std::uint64_t serial = 0;
  std::string sha256;  // lower-case hex
};

// The root's Serial and Expires; std::runtime_error (a Chinese text) when
// one is given but is no value of its kind.
ManifestAge ReadManifestAge(const xml::XmlDocument& manifest);

// "YYYYMMDDhhmmss" as UTC seconds since 1970; nullopt for anything else.
std::optional<std::time_t> ParseUtcStamp(std::string_view text);
std::string FormatUtcStamp(std::time_t time);

std::optional<AcceptedManifest> ReadAccepted(platform::IRegistry& registry, const std::string& serverKey);
void RememberAccepted(platform::IRegistry& registry, const std::string& serverKey, const AcceptedManifest& accepted);
std::int64_t ClockMarginMinutes(platform::IRegistry& registry);

// Why a verified manifest may not be used, for the user; empty when it may.
std::string FreshnessProblem(const ManifestAge& age, const std::optional<AcceptedManifest>& last,
                             const std::string& sha256, std::time_t now, std::int64_t marginMinutes);

}  // namespace engine
