#pragma once
// How long a fetch may wait on a server that sends nothing before the
// connection counts as broken: administrators may set it in whole seconds,
// as REG_DWORD StallSeconds beside PublisherKeys.
#include <chrono>
#include <cstdint>
#include <optional>

namespace engine {

inline constexpr const char* kStallSecondsKey = "SOFTWARE\\ZEPRA\\AutoUpdate";
inline constexpr const char* kStallSecondsValue = "StallSeconds";
inline constexpr std::uint32_t kDefaultStallSeconds = 60;
inline constexpr std::uint32_t kMinStallSeconds = 5;
inline constexpr std::uint32_t kMaxStallSeconds = 3600;

// The configured value held to kMinStallSeconds..kMaxStallSeconds, or the
// default when none is configured.
std::chrono::seconds StallLimit(std::optional<std::uint32_t> configuredSeconds);

}  // namespace engine
