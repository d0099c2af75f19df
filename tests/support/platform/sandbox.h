#pragma once
// A throw-away "machine" for one test: a folder that the code under test sees
// as a Windows path, with a place for the running program inside it (handed
// to the code under test as its program path). Natively the
// sandbox is drive C: (mapped onto a temporary folder); under Wine it is a real
// temporary folder.
#include <string>

#include "support/base/test_paths.h"

namespace testing_support {

class Sandbox {
 public:
  // programRelative: where the program lies below root(), e.g.
  // "Client\\Update\\AutoUpdate.exe".
  explicit Sandbox(const std::string& programRelative = "Client\\Update\\AutoUpdate.exe");
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // Windows-style path of the sandbox folder, without a trailing backslash.
  const std::string& root() const { return root_; }
  // root() joined with a relative Windows path.
  std::string path(const std::string& relative) const;
  // Folder of the program, with its trailing backslash.
  std::string programFolder() const;
  const std::string& programPath() const { return program_; }

  // Small file helpers through the platform layer.
  void write(const std::string& relative, const std::string& bytes) const;
  std::string read(const std::string& relative) const;  // "" when missing
  bool exists(const std::string& relative) const;
  void mkdirs(const std::string& relative) const;

 private:
  TempDir dir_;
  std::string root_;
  std::string program_;
};

}  // namespace testing_support
