#pragma once
// `au-publish rollout`: the Rollout percentage of the manifest's entries
// changed in place (see engine/rollout.h), the manifest signed again and
// published as build publishes it.
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace publish {

struct RolloutOptions {
  std::string serverDir;
  int percent = 100;
  std::optional<std::string> module;   // one module (in every group); none: every entry
  std::optional<std::string> keyPath;  // none: the signature is removed
  std::time_t now = 0;
  // A new expiry this many days after `now`; none: the manifest's stays.
  std::optional<int> expiresDays;
};

// The entries changed, as "group/name". PublishError, with nothing changed,
// when there is no manifest, the module is not in it or the key is unusable.
std::vector<std::string> SetRollout(const RolloutOptions& options);

}  // namespace publish
