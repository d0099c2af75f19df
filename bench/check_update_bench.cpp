// How the update check scales: manifest and client configuration of N
// entries each, every entry present on disk, every third one newer.
// Prints the time of CheckForUpdates for 10,000 and 20,000 entries and their ratio.
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/trace_file.h"
#include "engine/update_engine.h"
#include "engine/user_notices.h"
#include "engine/xml_routines.h"
#include "http/fetcher.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/shell_link.h"
#include "xml/xml_document.h"

namespace {

struct Quiet : engine::IUserNotices,
               platform::IProcessLauncher,
               platform::IRegistry,
               platform::IShell {
  bool ApprovesFirstUse(const std::string&) override { return true; }
  void PackageNotDownloaded(const std::string&, const std::string&) override {}
  void ModuleNotInstalled(const std::string&, const std::string&) override {}
  void DatabaseEngineSetupNotRun() override {}
  void ShortcutNameInvalid(const std::string&) override {}
  void ShortcutNotCreated(const std::string&) override {}
  void UnsupportedCompression() override {}
  bool Start(const std::string&, const std::string&, int) override { return false; }
  using platform::IProcessLauncher::RunAndWait;
  std::uint32_t RunAndWait(const std::string&, const std::string&, int, const std::string&) override { return 0; }
  bool WriteString(platform::RegistryRoot, const std::string&, const std::string&, const std::string&) override {
    return false;
  }
  std::optional<std::string> ReadString(platform::RegistryRoot, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> ReadString64(platform::RegistryRoot, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::string DesktopDirectory() override { return {}; }
  void CreateLink(const std::string&, const std::string&, const std::string&) override {}
};

// Serves the manifest, whatever is asked for.
struct Server : http::IFetcher {
  std::string manifest;
  http::FetchResult Get(const std::string&, std::uint64_t, http::IBodySink& body,
                        http::Freshness = http::Freshness::Fresh) override {
    http::FetchResult result;
    result.head.status = 200;
    result.head.announced = static_cast<std::int32_t>(manifest.size());
    result.accepted = body.Accept(result.head);
    if (result.accepted) body.Write(manifest);
    result.received = manifest.size();
    return result;
  }
};

std::string Document(int n, bool server) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<data>\r\n<ZEPRA>\r\n";
  for (int i = 0; i < n; ++i) {
    const std::string version = server && i % 3 == 0 ? "2.0" : "1.0";
    // Client names in another letter case: the match ignores it.
    const std::string name = (server ? "Module" : "MODULE") + std::to_string(i) + ".dll";
    xml += "  <" + name + " Version=\"" + version + "\" FileName=\"" + name + ".zip\" IsReplace=\"1\"/>\r\n";
  }
  return xml + "</ZEPRA>\r\n</data>\r\n";
}

double Measure(int n, const std::string& root, Quiet& os) {
  const std::string app = "C:\\bench" + std::to_string(n) + "\\";
  std::filesystem::create_directories(root + "/C/bench" + std::to_string(n));
  for (int i = 0; i < n; ++i) platform::WriteWholeFile(app + "Module" + std::to_string(i) + ".dll", "");
  platform::WriteWholeFile(app + "bench_80_AutoUpdateIniC.xml", Document(n, false));
  Server server;
  server.manifest = Document(n, true);
  const std::string program = app + "AutoUpdate.exe";
  const engine::TraceFile trace(program);
  const engine::Services services{os, os, os, os, server, trace, program, [] { return std::string("C:\\ProgramData"); }};
  engine::UpdateEngine update("http://bench:80/", services);
  if (update.SetUp()) {
    std::fprintf(stderr, "set-up failed\n");
    std::exit(1);
  }
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    const auto start = std::chrono::steady_clock::now();
    update.CheckForUpdates("ZEPRA");
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    best = std::min(best, ms);
  }
  std::printf("%6d entries: CheckForUpdates %.2f ms (best of 5), %zu to update\n", n, best, update.updates().size());
  return best;
}

}  // namespace

int main() {
  const std::string root = std::filesystem::temp_directory_path().string() + "/au-check-bench";
  std::filesystem::remove_all(root);
  ::setenv("AUTOUPDATE_DRIVE_ROOT", root.c_str(), 1);
  Quiet os;
  const double t10 = Measure(10000, root, os);
  const double t20 = Measure(20000, root, os);
  std::printf("ratio 20,000 / 10,000: %.2f (target under 2.2); 10,000 entries target under 50 ms\n", t20 / t10);
  std::filesystem::remove_all(root);
  return 0;
}
