#pragma once
// `au-publish bucket`: for support staff, a machine's rollout bucket for
// each entry of a server folder's manifest, and whether it takes that
// version (the client's own rule, engine/rollout.h, without the machine's
// RolloutRing).
#include <string>

namespace publish {

// One line per entry: "group/name  版本 V  桶 B  比例 P%  轮到|未轮到", a note
// after it for a Rollout text that is no percentage. PublishError when the
// manifest cannot be read.
std::string BucketTable(const std::string& machineGuid, const std::string& serverDir);

}  // namespace publish
