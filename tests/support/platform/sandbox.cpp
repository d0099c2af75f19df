#include "support/platform/sandbox.h"

#include "platform/files.h"
#include "support/platform/platform_paths.h"

namespace testing_support {

Sandbox::Sandbox(const std::string& programRelative) {
  root_ = SandboxRootFor(dir_.path());
  program_ = root_ + "\\" + programRelative;
  mkdirs(programRelative.substr(0, programRelative.find_last_of('\\')));
}

Sandbox::~Sandbox() { ReleaseSandboxRoot(); }

std::string Sandbox::path(const std::string& relative) const { return root_ + "\\" + relative; }

std::string Sandbox::programFolder() const { return program_.substr(0, program_.find_last_of('\\') + 1); }

void Sandbox::write(const std::string& relative, const std::string& bytes) const {
  platform::WriteWholeFile(path(relative), bytes);
}

std::string Sandbox::read(const std::string& relative) const {
  auto data = platform::ReadWholeFile(path(relative));
  return data ? *data : std::string();
}

bool Sandbox::exists(const std::string& relative) const {
  return platform::FileExists(path(relative)) || platform::DirectoryExists(path(relative));
}

void Sandbox::mkdirs(const std::string& relative) const {
  std::string built = root_;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find('\\', start);
    if (end == std::string::npos) end = relative.size();
    if (end > start) {
      built += "\\" + relative.substr(start, end - start);
      platform::CreateDir(built);
    }
    start = end + 1;
  }
}

}  // namespace testing_support
