#pragma once
// `au-publish verify` for an entry's delta package: present with the
// digest the entry gives, and applied to the files of the package that a
// kept manifest names for version DeltaFrom, giving exactly the files of the
// entry's own package.
#include <filesystem>
#include <optional>
#include <string>

#include "xml/xml_document.h"

namespace publish {

struct DeltaFinding {
  std::string problem;     // empty when none
  bool unchecked = false;  // the base package is no longer kept: `problem` says so
};

// nullopt when the entry offers no delta. `package`: the entry's full
// package, already checked.
std::optional<DeltaFinding> CheckDeltaEntry(const std::filesystem::path& server, const std::string& group,
                                             const xml::XmlNode& entry, const std::filesystem::path& package);

}  // namespace publish
