#include "publish/verifier.h"

#include <ctime>
#include <filesystem>
#include <memory>

#include "base/text.h"
#include "engine/manifest_freshness.h"
#include "engine/manifest_signature.h"
#include "engine/publisher_keys.h"
#include "engine/rollout.h"
#include "engine/server_layout.h"
#include "engine/update_engine.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "publish/delta_verify.h"
#include "publish/freshness.h"
#include "publish/manifest.h"
#include "publish/package.h"
#include "zip/archive_directory.h"
#include "zip/dest_path.h"

namespace publish {
namespace fs = std::filesystem;
namespace {

class Findings {
 public:
  explicit Findings(VerifyReport& report) : report_(report) {}
  void Good(const std::string& what) { report_.lines.push_back("正常  " + what); }
  void Note(const std::string& what) { report_.lines.push_back("提示  " + what); }
  void Bad(const std::string& what) {
    report_.lines.push_back("错误  " + what);
    ++report_.problems;
  }

 private:
  VerifyReport& report_;
};

// Why clients could not unpack the package; empty when they can.
std::string ZipProblem(const std::string& path) {
  std::unique_ptr<zip::BufferedFileStream> archive;
  std::unique_ptr<zip::ArchiveDirectory> directory;
  try {
    archive = std::make_unique<zip::BufferedFileStream>(path, zip::kArchiveBufferSize,
                                                        platform::FileMode::ReadDenyWrite);
    directory = std::make_unique<zip::ArchiveDirectory>(*archive, path);
  } catch (const std::exception& e) {
    return std::string("不是完整的 zip 文件：") + e.what();
  }
  if (directory->Rebuilt()) return "zip 文件的目录已损坏";
  if (directory->Count() == 0) return "zip 文件是空的";
  for (size_t i = 0; i < directory->Count(); ++i) {
    const zip::ZipEntry& entry = directory->Entry(i);
    if (!zip::IsSafeEntryName(entry.Directory(), entry.FileName())) {
      return "含有不安全的文件名“" + entry.Directory() + entry.FileName() + "”";
    }
    if (entry.Encrypted()) return "含有加密的文件“" + entry.Directory() + entry.FileName() + "”";
  }
  return {};
}

// The entry's share of machines, as clients read its Rollout.
std::string RolloutText(const engine::ManifestEntry& entry, Findings& findings, const std::string& name) {
  if (!entry.rollout) return "比例 100%";
  if (const std::optional<int> percent = engine::ParseRolloutPercent(*entry.rollout)) {
    return "比例 " + std::to_string(*percent) + "%";
  }
  findings.Note(name + "：Rollout“" + *entry.rollout + "”不是 0 到 100 的整数，客户端按 100% 处理");
  return "比例 100%";
}

// The entry's delta package, when it offers one.
void CheckDelta(const fs::path& server, const std::string& what, const std::string& group,
                const xml::XmlNode* node, const fs::path& package, Findings& findings) {
  if (!node) return;
  const std::optional<DeltaFinding> finding = CheckDeltaEntry(server, group, *node, package);
  if (!finding) return;
  if (finding->unchecked) return findings.Note(what + "：差异包：" + finding->problem);
  if (!finding->problem.empty()) return findings.Bad(what + "：差异包：" + finding->problem);
  findings.Good(what + "：差异包");
}

void CheckPackage(const fs::path& server, const std::string& group, const engine::ManifestEntry& entry,
                  const xml::XmlNode* node, Findings& findings) {
  const std::string name = group + "/" + entry.name;
  const std::string what = name + "（" + entry.fileName + "，" + RolloutText(entry, findings, name) + "）";
  if (!platform::IsPlainRelativePath(entry.fileName)) return findings.Bad(what + "：FileName 不能用作本地文件名");
  std::string relative = entry.fileName;
  for (char& c : relative) c = c == '\\' ? '/' : c;
  const fs::path path = server / std::string(engine::kPackageFolder) / InClientCodePage(relative);
  if (!fs::is_regular_file(path)) return findings.Bad(what + "：服务器上没有这个文件");
  const PackageDigest digest = HashFile(path.string());
  if (entry.sha256.empty() || entry.size.empty()) findings.Note(what + "：没有 SHA256 或 Size，客户端无法校验");
  if (!entry.sha256.empty() && !base::SameTextAscii(entry.sha256, digest.sha256)) {
    return findings.Bad(what + "：SHA256 不符，文件为 " + digest.sha256);
  }
  if (!entry.size.empty() && entry.size != std::to_string(digest.size)) {
    return findings.Bad(what + "：Size 不符，文件为 " + std::to_string(digest.size) + " 字节");
  }
  if (const std::string problem = ZipProblem(path.string()); !problem.empty()) return findings.Bad(what + "：" + problem);
  findings.Good(what);
  CheckDelta(server, what, group, node, path, findings);
}

// The group's element of that entry.
const xml::XmlNode* EntryNode(const xml::XmlNode& group, const std::string& name) {
  for (const xml::XmlNode* child : group.childNodes()) {
    if (child->nodeType() == xml::NodeType::Element && base::SameTextAscii(child->nodeName(), name)) return child;
  }
  return nullptr;
}

void CheckSignature(const fs::path& server, const std::string& manifest, const std::optional<std::string>& keysText,
                    Findings& findings) {
  const fs::path path = server / (std::string(engine::kManifestName) + std::string(engine::kSignatureSuffix));
  const auto signature = platform::ReadWholeFile(path.string());
  if (!keysText) {
    if (signature) findings.Note("有签名文件，未检查（没有给出 --pubkey）");
    return;
  }
  const engine::PublisherKeys keys = engine::ParsePublisherKeys(*keysText);
  if (keys.keys.empty()) return findings.Bad("公钥文件中没有 P-256 公钥");
  if (!signature) return findings.Bad("没有签名文件 " + path.filename().string());
  const std::string problem = engine::SignatureProblem(keys, manifest, *signature);
  if (!problem.empty()) return findings.Bad("签名：" + problem);
  findings.Good("签名有效");
}

// Serial and expiry, and a warning while there is still time to refresh.
void CheckFreshness(const xml::XmlDocument& doc, std::time_t now, Findings& findings) {
  engine::ManifestAge age;
  try {
    age = engine::ReadManifestAge(doc);
  } catch (const std::runtime_error& e) {
    return findings.Bad(e.what());
  }
  if (!age.serial) return findings.Note("没有序号（Serial），客户端无法识别重放的旧更新说明");
  findings.Good("序号 " + std::to_string(*age.serial));
  if (!age.expires) return;
  const std::string when = engine::FormatUtcStamp(*age.expires) + "（UTC）";
  if (*age.expires < now) return findings.Bad("已于 " + when + "过期，客户端不再接受，请用 au-publish refresh 重新签署");
  if (*age.expires - now < kExpiryWarningDays * 86400) {
    return findings.Note("将于 " + when + "过期，请尽快用 au-publish refresh 重新签署");
  }
  findings.Good("有效期至 " + when);
}

}  // namespace

VerifyReport Verify(const std::string& serverDir, const std::optional<std::string>& publicKeyPem) {
  VerifyReport report;
  Findings findings(report);
  const fs::path server(serverDir);
  const auto manifest = platform::ReadWholeFile((server / std::string(engine::kManifestName)).string());
  if (!manifest) {
    findings.Bad("没有更新说明 " + std::string(engine::kManifestName));
    return report;
  }
  const auto doc = ParseManifest(*manifest);
  const xml::XmlNode* root = doc->documentElement();
  if (!root || root->nodeName() != "data") {
    findings.Bad("更新说明无法解析，或根元素不是 data");
    return report;
  }
  CheckSignature(server, *manifest, publicKeyPem, findings);
  CheckFreshness(*doc, std::time(nullptr), findings);
  for (const xml::XmlNode* group : root->childNodes()) {
    if (group->nodeType() != xml::NodeType::Element) continue;
    engine::ManifestEntries entries;
    engine::UpdateEngine::ReadEntries(entries, doc.get(), group->nodeName());
    for (const auto& entry : entries) {
      CheckPackage(server, group->nodeName(), *entry, EntryNode(*group, entry->name), findings);
    }
  }
  return report;
}

}  // namespace publish
