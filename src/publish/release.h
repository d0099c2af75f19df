#pragma once
// A release folder as the publisher hands it over: every top-level file or
// folder is one module of the application.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace publish {

// Bad input to the tool; the message says what, for the administrator.
class PublishError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ReleaseFile {
  std::string nameInPackage;  // UTF-8, "/" between folders; a folder ends with "/"
  std::string sourcePath;     // empty for a folder
};

struct ReleaseModule {
  std::string name;  // the file or folder name, UTF-8
  bool folder = false;
  std::vector<ReleaseFile> files;  // sorted, folders before their contents
};

// Every module of the release folder, sorted by name. PublishError for a
// name the manifest cannot hold, a link, or a folder that cannot be read.
std::vector<ReleaseModule> ScanRelease(const std::string& releaseDir);

// Why a module of this name cannot be published; empty when it can. The
// name becomes an XML element name and a Windows file name in GB2312, and
// the updater takes a name with a "." for a file and one without for a folder.
std::string ModuleNameProblem(std::string_view name, bool folder);

}  // namespace publish
