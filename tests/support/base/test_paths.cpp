#include "support/base/test_paths.h"

#include <atomic>
#include <filesystem>
#include <random>
#include <system_error>

namespace testing_support {
namespace fs = std::filesystem;
namespace {

std::string Native(std::string hostPath) {
#ifdef _WIN32
  // Under Wine the host file system is drive Z:.
  for (char& c : hostPath) {
    if (c == '/') c = '\\';
  }
  return "Z:" + hostPath;
#else
  return hostPath;
#endif
}

}  // namespace

std::string SourceDir() { return Native(AU_SOURCE_DIR); }
std::string BinaryDir() { return Native(AU_BINARY_DIR); }
std::string SharedDir() { return Native(std::string(AU_SOURCE_DIR) + "/../shared"); }

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  fs::path base = fs::temp_directory_path();
  for (;;) {
    fs::path p = base / ("au-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    std::error_code ec;
    if (fs::create_directory(p, ec)) {
      path_ = p.string();
      break;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(fs::path(path_), ec);
}

std::string TempDir::operator/(const std::string& name) const {
#ifdef _WIN32
  return path_ + "\\" + name;
#else
  return path_ + "/" + name;
#endif
}

}  // namespace testing_support
