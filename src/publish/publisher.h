#pragma once
// `au-publish build`: a release folder becomes the server folder's packages,
// manifest and signature, published so that a client reading at the same
// time never finds a manifest naming a package that is not there yet.
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace publish {

struct BuildOptions {
  std::string releaseDir;
  std::string serverDir;
  std::string app;
  std::optional<std::string> keyPath;       // PEM P-256 private key: sign the manifest
  std::optional<std::string> settingsPath;  // see settings.h
  std::optional<std::string> version;       // for every changed or new module
  std::time_t now = 0;                      // the time stamp of new versions
  // The client configuration template to publish; without it the server
  // folder's own stays. Either is signed with the manifest.
  std::optional<std::string> templatePath;
  // The Rollout percentage of every changed or new module (rollout.h in the
  // engine); none: the new versions go to every machine at once.
  std::optional<int> rollout;
  // The manifest expires this many days after `now` (clients with keys then
  // refuse it until a fresh one is published).
  std::optional<int> expiresDays;
};

struct RefreshOptions {
  std::string serverDir;
  std::string keyPath;
  std::optional<int> expiresDays;
  std::time_t now = 0;
};

enum class Change { Added, Changed, Unchanged, Removed };

struct ModuleReport {
  std::string name;
  Change change;
  std::string oldVersion;  // empty when added
  std::string newVersion;  // empty when removed
  std::string deltaFileName;  // the delta package offered; empty when none
};

// Publishes the release; what happened to each module, in name order.
// PublishError, with nothing in the server folder changed, for bad input.
std::vector<ModuleReport> Build(const BuildOptions& options);

// `au-publish refresh`: the current manifest again with the next serial and
// a new expiry, signed; no package changes. Returns the new serial.
// PublishError, with nothing changed, when there is no manifest or key.
std::string Refresh(const RefreshOptions& options);

// The change table as the tool prints it.
std::string ChangeTable(const std::vector<ModuleReport>& reports);

}  // namespace publish
