#pragma once
// The manifests published before, kept in the hidden folder
// SERVER_DIR/.au-publish-history as AutoUpdateIniS.<serial>.xml (serials
// counting up from 000001), so that the packages they name stay on the
// server for clients that read one of them moments before a new release:
// au-publish never removes a package a kept manifest names.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace publish {

inline constexpr const char* kHistoryName = ".au-publish-history";

// Keeps the manifest just published; when there is no history yet, the one
// it replaced first.
void RecordManifest(const std::filesystem::path& server, const std::optional<std::string>& replaced,
                    const std::string& published);

// The kept manifests, oldest first.
std::vector<std::filesystem::path> HistoryFiles(const std::filesystem::path& server);

// Removes the history manifests beyond the newest `keep`, then every file
// below clientfile/ that neither the current manifest nor a kept one names.
// What it removed, relative to the server folder. PublishError, removing
// nothing, when the current manifest or a kept one cannot be read.
std::vector<std::string> Prune(const std::string& serverDir, std::size_t keep);

}  // namespace publish
