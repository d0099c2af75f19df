// zip_extract_bench <archive> <dest>: unpacks a package the way the updater
// does (overwrite, folders recreated, read-only targets replaced), for
// timing against other unzip tools (bench/zip_extract.sh).
#include <cstdio>
#include <exception>

#include "platform/ownerless_message_box.h"
#include "zip/unzipper.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zip_extract_bench <archive> <dest>\n");
    return 2;
  }
  try {
    zip::Unzipper z(platform::OwnerlessMessageBox());
    zip::UnzipSettings& settings = z.settings();
    z.SetDestDir(argv[2]);
    z.SetRootDir(argv[2]);
    settings.overwrite = zip::Overwrite::Always;
    settings.recreateFolders = true;
    z.SetZipName(argv[1]);
    settings.extractAll = true;
    settings.replaceReadOnly = true;
    const int n = z.ExtractFiles();
    if (z.FailedCount() != 0) {
      std::fprintf(stderr, "%d entries failed\n", z.FailedCount());
      return 1;
    }
    std::printf("%d\n", n);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
