#pragma once
#include <optional>
#include <string>

namespace engine {

// One file or folder entry of the server manifest or the client
// configuration. Read once, never changed afterwards.
struct ManifestEntry {
  std::string name;       // the entry element's name: a file when it holds a ".", else a folder
  std::string setupPath;  // the target folder's token (see folder_tokens.h) or anything else
  std::string fileName;   // the package below "clientfile/" on the server
  bool replace = false;   // a newer version replaces the installed one
  std::string script;     // kept with the entry; the main program's shortcut title
  bool registerComponent = false;
  std::string version;
  std::string autoRun;    // program to run after unpacking
  // What the publisher released, when the manifest says: the package's
  // SHA-256 (64 hex digits) and size in bytes (decimal), as written.
  std::string sha256;
  std::string size;
  std::optional<std::string> rollout;  // the Rollout percentage as written, when given (rollout.h)
  // The delta package offered beside the package, as written; all empty
  // when none is (docs/delta-format.md).
  std::string deltaFileName;
  std::string deltaFrom;  // the Version the delta starts from
  std::string deltaSha256;
  std::string deltaSize;
};

}  // namespace engine
