#include "engine/rollout.h"

#include "base/text.h"
#include "engine/manifest_entry.h"
#include "platform/crypto.h"

namespace engine {
namespace {

constexpr int kBuckets = 100;

// The entry's percentage; junk counts as 100 and is said in `note`.
int PercentOf(const ManifestEntry& entry, std::string& note) {
  if (!entry.rollout) return kFullRollout;
  if (const std::optional<int> percent = ParseRolloutPercent(*entry.rollout)) return *percent;
  note = "比例“" + *entry.rollout + "”无效，按 100% 处理";
  return kFullRollout;
}

std::string PercentText(int percent) { return std::to_string(percent) + "%"; }

}  // namespace

int RolloutBucket(std::string_view machineGuid, std::string_view entryName, std::string_view version) {
  platform::Sha256 hash;
  hash.Update(machineGuid);
  hash.Update("/");
  hash.Update(entryName);
  hash.Update("/");
  hash.Update(version);
  const std::string digest = hash.Finish();
  std::uint32_t first = 0;
  for (size_t i = 0; i < 4; ++i) first = (first << 8) | static_cast<unsigned char>(digest[i]);
  return static_cast<int>(first % kBuckets);
}

std::optional<int> ParseRolloutPercent(std::string_view text) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > kFullRollout) return std::nullopt;
  return value;
}

RolloutRing ParseRolloutRing(const std::optional<std::string>& value) {
  if (!value) return RolloutRing::Normal;
  if (base::SameTextAscii(*value, "early")) return RolloutRing::Early;
  if (base::SameTextAscii(*value, "hold")) return RolloutRing::Hold;
  return RolloutRing::Normal;
}

RolloutDecision DecideRollout(const RolloutMachine& machine, const ManifestEntry& entry) {
  RolloutDecision decision;
  const int percent = PercentOf(entry, decision.note);
  if (percent >= kFullRollout || machine.ring == RolloutRing::Early) return decision;
  decision.takes = false;
  if (machine.ring == RolloutRing::Hold) {
    decision.note = "本机暂缓（RolloutRing=hold）：比例 " + PercentText(percent);
  } else if (!machine.guid) {
    decision.note = "未轮到：没有 MachineGuid，比例 " + PercentText(percent);
  } else {
    const int bucket = RolloutBucket(*machine.guid, entry.name, entry.version);
    decision.takes = bucket < percent;
    if (!decision.takes) decision.note = "未轮到：桶 " + std::to_string(bucket) + "，比例 " + PercentText(percent);
  }
  return decision;
}

}  // namespace engine
