// Reads an arbitrary byte string as a zip archive and extracts it into a
// private temporary folder, which is emptied after every input. An entry
// that lands anywhere but below the destination folder, or a file or folder
// whose name Windows would read as a stream, a device or a cut path, aborts
// the run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/file_names.h"
#include "platform/file_stream.h"
#include "zip/extract.h"

namespace fs = std::filesystem;

namespace {

struct Jail {
  fs::path root, dest, archive;
  Jail() {
    std::error_code ec;
    fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    root = base / ("au-zip-fuzz-" + std::to_string(::getpid()));
    fs::remove_all(root, ec);
    fs::create_directories(root / "jail");
    dest = root / "jail" / "dest";
    archive = root / "jail" / "input.zip";
  }
  ~Jail() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

Jail& TheJail() {
  static Jail jail;
  return jail;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Jail& jail = TheJail();
  {
    std::ofstream out(jail.archive, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  {
    // The first byte picks the overwrite rule.
    const zip::ExtractOptions options{size && (data[0] & 1) ? zip::Overwrite::IfNewer : zip::Overwrite::Always, true};
    zip::IExtractionTarget target;
    try {
      platform::FileStream archive(jail.archive.string(), platform::FileMode::ReadDenyWrite);
      zip::Extract(archive, jail.dest.string(), options, target);
      zip::Extract(archive, jail.dest.string(), options, target);  // again over what the first run left
    } catch (const std::runtime_error&) {
      // Broken archives end in the subsystem's errors; anything else escapes.
    }
  }
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(jail.root / "jail")) {
    if (e.path() != jail.dest && e.path() != jail.archive) {
      std::fprintf(stderr, "written outside the destination: %s\n", e.path().c_str());
      std::abort();
    }
  }
  for (const auto& e : fs::directory_iterator(jail.root)) {
    if (e.path() != jail.root / "jail") {
      std::fprintf(stderr, "written outside the destination: %s\n", e.path().c_str());
      std::abort();
    }
  }
  if (fs::exists(jail.dest)) {
    for (const auto& e : fs::recursive_directory_iterator(jail.dest)) {
      const std::string name = e.path().filename().string();
      if (!platform::IsPlainName(name)) {
        std::fprintf(stderr, "not a plain file name: %s\n", e.path().c_str());
        std::abort();
      }
    }
  }
  fs::remove_all(jail.dest, ec);
  return 0;
}
