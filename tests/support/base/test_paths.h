#pragma once
#include <string>

namespace testing_support {

// The source tree and the build folder, as paths the program under test can
// open (Z:\... under Wine, plain paths natively).
std::string SourceDir();
std::string BinaryDir();
// The shared test data folder beside the checkout (zip corpus and the like).
std::string SharedDir();

// A fresh empty folder for one test, removed by its destructor. Its path()
// is a native path usable with the platform layer.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() joined with a relative name using the platform's separator.
  std::string operator/(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace testing_support
