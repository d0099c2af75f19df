// zip_extract_bench <archive> <dest>: unpacks a package the way the updater
// does (overwrite, folders recreated, read-only targets replaced), for
// timing against other unzip tools (bench/zip_extract.sh).
#include <cstdio>
#include <exception>

#include "platform/file_stream.h"
#include "zip/extract.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zip_extract_bench <archive> <dest>\n");
    return 2;
  }
  try {
    platform::FileStream archive(argv[1], platform::FileMode::ReadDenyWrite);
    zip::IExtractionTarget target;
    const zip::ExtractResult result = zip::Extract(archive, argv[2], zip::ExtractOptions{}, target);
    if (result.failed != 0) {
      std::fprintf(stderr, "%d entries failed\n", result.failed);
      return 1;
    }
    std::printf("%d\n", result.written);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
