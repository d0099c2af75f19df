#pragma once
// The name a module's package gets on the server (the entry's FileName).
// Packages are named by their content, "<module>.<first 16 hex digits of
// the package's SHA-256>.zip", so that one name never stands for two
// different files: a client that read an older manifest still gets the
// package that manifest meant. Clients derive more than the package from
// FileName for three kinds of entry, which therefore keep "<module>.zip":
// the main program's (found by FileName less ".zip"), components to
// register (FileName less ".zip" is the component) and the database-engine
// setup (#BDE: FileName less ".zip" is the program run).
#include <string>
#include <string_view>

#include "publish/manifest.h"

namespace publish {

// Whether the entry must keep the plain name: `attributes` as the manifest
// will write them, `mainFile` the group's mainfile ("" when none).
bool NeedsPlainName(std::string_view module, const AttributeList& attributes, std::string_view mainFile);

std::string PlainPackageName(std::string_view module);
std::string ContentPackageName(std::string_view module, std::string_view sha256Hex);

// A delta package: "<module>.<16 hex of the package it starts from>-<16 hex
// of its own SHA-256>.delta.zip", so that its name ties it to its base.
std::string DeltaPackageName(std::string_view module, std::string_view fromSha256Hex, std::string_view sha256Hex);

}  // namespace publish
