#pragma once
// One module's package: a zip archive of its file or folder tree, names in
// the clients' code page, each file with its own modification time (the
// updater's "only if newer" rule compares them).
#include <cstdint>
#include <string>

#include "publish/release.h"

namespace publish {

struct PackageDigest {
  std::string sha256;  // 64 lower-case hex digits
  std::uint64_t size = 0;
};

// Writes the package to `path`; its digest. PublishError for a file that
// cannot be read.
PackageDigest WritePackage(const ReleaseModule& module, const std::string& path);

// The digest of a file's bytes.
PackageDigest HashFile(const std::string& path);

// A name in the clients' code page (GB2312), as names inside packages are
// stored, and packages on the server: clients ask for a package by those
// bytes, not by its UTF-8 name. Release names are checked to fit.
std::string InClientCodePage(const std::string& name);

}  // namespace publish
