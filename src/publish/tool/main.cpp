// au-publish: builds, signs and checks an update server folder.
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "engine/rollout.h"
#include "platform/files.h"
#include "platform/signing_key.h"
#include "publish/bucket_table.h"
#include "publish/history.h"
#include "publish/publisher.h"
#include "publish/release.h"
#include "publish/rollout.h"
#include "publish/verifier.h"

namespace {

constexpr const char* kUsage =
    "用法：\n"
    "  au-publish build RELEASE_DIR SERVER_DIR --app NAME [--key publisher.pem] [--settings FILE]\n"
    "                   [--version TEXT] [--template AutoUpdateIniC.xml] [--rollout PERCENT]\n"
    "                   [--expires-days N]\n"
    "  au-publish rollout SERVER_DIR PERCENT [--module NAME] [--key publisher.pem] [--expires-days N]\n"
    "  au-publish refresh SERVER_DIR --key publisher.pem [--expires-days N]\n"
    "  au-publish bucket MACHINE_GUID [SERVER_DIR]\n"
    "  au-publish prune SERVER_DIR --keep N\n"
    "  au-publish verify SERVER_DIR [--pubkey publisher.pub.pem]\n"
    "  au-publish keygen PRIVATE.pem PUBLIC.pem\n";

struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
};

// Options take one value each; anything else is positional.
bool Parse(int argc, char** argv, const std::vector<std::string>& known, Arguments& out) {
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--", 0) != 0) {
      out.positional.push_back(arg);
      continue;
    }
    if (std::find(known.begin(), known.end(), arg) == known.end() || i + 1 >= argc) return false;
    out.options[arg] = argv[++i];
  }
  return true;
}

std::optional<std::string> Option(const Arguments& args, const std::string& name) {
  const auto it = args.options.find(name);
  return it == args.options.end() ? std::nullopt : std::optional(it->second);
}

// A percentage as Rollout takes it: a whole number 0..100.
int Percent(const std::string& text) {
  const std::optional<int> percent = engine::ParseRolloutPercent(text);
  if (!percent) throw publish::PublishError("比例“" + text + "”不是 0 到 100 的整数。");
  return *percent;
}

std::optional<int> Days(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  if (text->empty() || text->size() > 4 || text->find_first_not_of("0123456789") != std::string::npos) {
    throw publish::PublishError("--expires-days 应为 1 到 3650 之间的天数。");
  }
  return std::stoi(*text);
}

int BuildCommand(const Arguments& args) {
  if (args.positional.size() != 2 || !Option(args, "--app")) return 2;
  publish::BuildOptions options{args.positional[0],        args.positional[1],         *Option(args, "--app"),
                                Option(args, "--key"),     Option(args, "--settings"), Option(args, "--version"),
                                std::time(nullptr),        Option(args, "--template"), {},
                                Days(Option(args, "--expires-days"))};
  if (const auto rollout = Option(args, "--rollout")) options.rollout = Percent(*rollout);
  const auto reports = publish::Build(options);
  std::cout << publish::ChangeTable(reports);
  std::cout << "已发布到 " << options.serverDir << (options.keyPath ? "（已签名）" : "（未签名）") << "\n";
  return 0;
}

int RolloutCommand(const Arguments& args) {
  if (args.positional.size() != 2) return 2;
  const publish::RolloutOptions options{args.positional[0],  Percent(args.positional[1]),
                                        Option(args, "--module"), Option(args, "--key"),
                                        std::time(nullptr),      Days(Option(args, "--expires-days"))};
  for (const std::string& entry : publish::SetRollout(options)) {
    std::cout << entry << "  比例 " << options.percent << "%\n";
  }
  std::cout << "已发布到 " << options.serverDir << (options.keyPath ? "（已签名）" : "（未签名）") << "\n";
  return 0;
}

int BucketCommand(const Arguments& args) {
  if (args.positional.empty() || args.positional.size() > 2) return 2;
  std::cout << publish::BucketTable(args.positional[0], args.positional.size() == 2 ? args.positional[1] : ".");
  return 0;
}

int PruneCommand(const Arguments& args) {
  const auto keep = Option(args, "--keep");
  if (args.positional.size() != 1 || !keep || keep->empty() || keep->size() > 6 ||
      keep->find_first_not_of("0123456789") != std::string::npos) {
    return 2;
  }
  const auto removed = publish::Prune(args.positional[0], std::stoul(*keep));
  for (const std::string& path : removed) std::cout << "已删除 " << path << "\n";
  std::cout << "共删除 " << removed.size() << " 个文件。\n";
  return 0;
}

int RefreshCommand(const Arguments& args) {
  if (args.positional.size() != 1 || !Option(args, "--key")) return 2;
  const std::string serial = publish::Refresh(
      {args.positional[0], *Option(args, "--key"), Days(Option(args, "--expires-days")), std::time(nullptr)});
  std::cout << "已重新签署更新说明，序号 " << serial << "\n";
  return 0;
}

int VerifyCommand(const Arguments& args) {
  if (args.positional.size() != 1) return 2;
  std::optional<std::string> keys;
  if (const auto path = Option(args, "--pubkey")) {
    keys = platform::ReadWholeFile(*path);
    if (!keys) throw publish::PublishError("无法读取公钥文件“" + *path + "”。");
  }
  const publish::VerifyReport report = publish::Verify(args.positional[0], keys);
  for (const std::string& line : report.lines) std::cout << line << "\n";
  std::cout << (report.problems == 0 ? "检查通过。\n" : std::to_string(report.problems) + " 个错误。\n");
  return report.problems == 0 ? 0 : 1;
}

// The one-line base64 of a public key PEM.
std::string OneLine(const std::string& pem) {
  std::string out, line;
  for (char c : pem + "\n") {
    if (c != '\n') {
      line += c;
      continue;
    }
    if (line.rfind("-----", 0) != 0) out += line;
    line.clear();
  }
  return out;
}

int KeygenCommand(const Arguments& args) {
  if (args.positional.size() != 2) return 2;
  for (const std::string& path : args.positional) {
    // A link counts, even one that leads nowhere.
    if (std::filesystem::exists(std::filesystem::symlink_status(path))) {
      throw publish::PublishError("文件“" + path + "”已存在（或是一个链接），不会覆盖。");
    }
  }
  const platform::SigningKey key = platform::SigningKey::Generate();
  key.SavePrivatePem(args.positional[0]);
  const std::string publicPem = key.PublicPem();
  platform::WriteWholeFile(args.positional[1], publicPem);
  std::cout << "私钥：" << args.positional[0] << "（只留给发布者，用 au-publish build --key 签名）\n"
            << "公钥：" << args.positional[1] << "\n\n"
            << "在每台客户机上以管理员身份配置公钥（32 位注册表视图）：\n"
            << "  reg add \"HKLM\\SOFTWARE\\ZEPRA\\AutoUpdate\" /v PublisherKeys /t REG_SZ /d " << OneLine(publicPem)
            << " /reg:32 /f\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Entry names of the packages are in the clients' code page.
  setenv("AUTOUPDATE_ANSI_CODESET", "GBK", 0);
  const std::string command = argc > 1 ? argv[1] : "";
  Arguments args;
  int code = 2;
  try {
    if (command == "build" && Parse(argc, argv,
                                    {"--app", "--key", "--settings", "--version", "--template", "--rollout",
                                     "--expires-days"},
                                    args)) {
      code = BuildCommand(args);
    } else if (command == "rollout" && Parse(argc, argv, {"--module", "--key", "--expires-days"}, args)) {
      code = RolloutCommand(args);
    } else if (command == "refresh" && Parse(argc, argv, {"--key", "--expires-days"}, args)) {
      code = RefreshCommand(args);
    } else if (command == "bucket" && Parse(argc, argv, {}, args)) {
      code = BucketCommand(args);
    } else if (command == "prune" && Parse(argc, argv, {"--keep"}, args)) {
      code = PruneCommand(args);
    } else if (command == "verify" && Parse(argc, argv, {"--pubkey"}, args)) {
      code = VerifyCommand(args);
    } else if (command == "keygen" && Parse(argc, argv, {}, args)) {
      code = KeygenCommand(args);
    }
  } catch (const std::exception& e) {
    std::cerr << "au-publish：" << e.what() << "\n";
    return 1;
  }
  if (code == 2) std::cerr << kUsage;
  return code;
}
