#pragma once
// Versions the tool gives: the updater installs a module only when the
// manifest's version text is greater, byte by byte, than the one a client
// recorded.
#include <ctime>
#include <string>
#include <string_view>

namespace publish {

// The UTC time stamp "YYYYMMDDhhmmss" of `now` when it sorts after
// `previous`; otherwise `previous` followed by "." and the stamp (a text
// always sorts after its own prefix).
std::string NextVersion(std::string_view previous, std::time_t now);

}  // namespace publish
