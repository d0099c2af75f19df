#pragma once
// Staged rollout: a manifest entry's optional Rollout attribute (a whole
// percentage) lets a new version reach only part of the machines at first.
// Each machine has a bucket 0..99 per entry and version, computed so that
// administrators and au-publish can predict it: the first four bytes,
// big-endian, of the SHA-256 of "<MachineGuid>/<entry name>/<Version>" in
// UTF-8, modulo 100. The machine takes the version when its bucket is below
// the percentage; raising the percentage never takes a machine out again.
#include <optional>
#include <string>
#include <string_view>

namespace engine {

struct ManifestEntry;

// Where Windows keeps the machine's identity (64-bit view), and the ring an
// administrator may put the machine in (beside PublisherKeys, 32-bit view).
inline constexpr const char* kMachineGuidKey = "SOFTWARE\\Microsoft\\Cryptography";
inline constexpr const char* kMachineGuidValue = "MachineGuid";
inline constexpr const char* kRolloutRingKey = "SOFTWARE\\ZEPRA\\AutoUpdate";
inline constexpr const char* kRolloutRingValue = "RolloutRing";
inline constexpr int kFullRollout = 100;

int RolloutBucket(std::string_view machineGuid, std::string_view entryName, std::string_view version);

// The percentage a Rollout text gives: a whole number 0..100, digits only;
// nullopt for anything else.
std::optional<int> ParseRolloutPercent(std::string_view text);

// "early": every staged version at once; "hold": only versions at 100%.
enum class RolloutRing { Normal, Early, Hold };
RolloutRing ParseRolloutRing(const std::optional<std::string>& value);

// What the update check knows of this machine.
struct RolloutMachine {
  std::optional<std::string> guid;
  RolloutRing ring = RolloutRing::Normal;
};

// Whether the machine takes the entry's new version, and for the trace file
// what stood in the way or was wrong (empty when there is nothing to say).
struct RolloutDecision {
  bool takes = true;
  std::string note;
};
RolloutDecision DecideRollout(const RolloutMachine& machine, const ManifestEntry& entry);

}  // namespace engine
