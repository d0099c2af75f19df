// A disk that refuses the bytes, played by the file size limit of the
// process: the download fails naming the file and the system's reason, and
// leaves nothing behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "engine/staged_package.h"
#include "engine/staging_file.h"
#include "platform/files.h"
#include "support/platform/sandbox.h"

namespace {

TEST(StagingFileOnAFullDisk, FailsNamingTheFileAndLeavesNothing) {
  testing_support::Sandbox box;
  const std::string package = box.path("a.zip");
  platform::WriteWholeFile(package, "EARLIER");
  std::string message;
  {
    engine::StagingFile file(package, std::nullopt);
    struct sigaction ignore {}, before {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &before);
    rlimit limit{}, saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    limit = saved;
    limit.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limit);
    file.Write(std::string(4000, 'x'));
    try {
      file.Write(std::string(4000, 'y'));
    } catch (const engine::StagingError& e) {
      message = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &before, nullptr);
  }
  EXPECT_EQ(message, "写入文件“" + package + ".~part”失败：File too large");
  EXPECT_FALSE(platform::FileExists(package + ".~part"));
  EXPECT_EQ(platform::ReadWholeFile(package), "EARLIER");
}

}  // namespace
