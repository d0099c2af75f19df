#include "publish/release.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/codepage.h"
#include "platform/file_names.h"
#include "xml/xml_chars.h"

namespace publish {
namespace fs = std::filesystem;
namespace {

bool IsXmlName(std::string_view name) { return !name.empty() && xml::chars::NameLength(name) == name.size(); }

std::string Quoted(std::string_view name) { return "“" + std::string(name) + "”"; }

// Files and folders below `folder`, as package names under `prefix`.
void AddTree(const fs::path& folder, const std::string& prefix, std::vector<ReleaseFile>& files) {
  std::error_code error;
  std::vector<fs::directory_entry> entries;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) entries.push_back(*it);
  if (error) throw PublishError("无法读取文件夹" + Quoted(folder.string()) + "：" + error.message());
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.path() < b.path(); });
  for (const fs::directory_entry& entry : entries) {
    const std::string name = entry.path().filename().string();
    if (entry.is_symlink()) throw PublishError(Quoted(entry.path().string()) + " 是符号链接，不能发布。");
    if (!platform::IsPlainName(name) || !platform::EncodeFromUtf8(name, "GB2312")) {
      throw PublishError("文件名" + Quoted(entry.path().string()) + "不能用作 Windows 文件名或无法用 GB2312 表示。");
    }
    if (entry.is_directory()) {
      files.push_back({prefix + name + "/", ""});
      AddTree(entry.path(), prefix + name + "/", files);
    } else if (entry.is_regular_file()) {
      files.push_back({prefix + name, entry.path().string()});
    } else {
      throw PublishError(Quoted(entry.path().string()) + " 不是普通文件，不能发布。");
    }
  }
}

}  // namespace

std::string ModuleNameProblem(std::string_view name, bool folder) {
  if (!platform::IsPlainName(name)) return "模块名" + Quoted(name) + "不能用作 Windows 文件名。";
  if (!platform::EncodeFromUtf8(name, "GB2312")) return "模块名" + Quoted(name) + "无法用 GB2312 表示。";
  if (!IsXmlName(name)) return "模块名" + Quoted(name) + "不能用作 XML 元素名（须以字母、汉字或下划线开头）。";
  const bool dotted = name.find('.') != std::string_view::npos;
  if (folder && dotted) return "文件夹" + Quoted(name) + "的名称含有“.”，更新程序会把它当作文件。";
  if (!folder && !dotted) return "文件" + Quoted(name) + "的名称不含“.”，更新程序会把它当作文件夹。";
  return {};
}

std::vector<ReleaseModule> ScanRelease(const std::string& releaseDir) {
  std::error_code error;
  if (!fs::is_directory(releaseDir, error)) throw PublishError("发布文件夹" + Quoted(releaseDir) + "不存在。");
  std::vector<ReleaseFile> top;
  AddTree(releaseDir, "", top);
  std::vector<ReleaseModule> modules;
  for (const ReleaseFile& file : top) {
    const bool nested = file.nameInPackage.find('/') < file.nameInPackage.size() - 1;
    if (nested) {
      modules.back().files.push_back(file);
      continue;
    }
    ReleaseModule module;
    module.folder = file.sourcePath.empty();
    module.name = module.folder ? file.nameInPackage.substr(0, file.nameInPackage.size() - 1) : file.nameInPackage;
    if (const std::string problem = ModuleNameProblem(module.name, module.folder); !problem.empty()) {
      throw PublishError(problem);
    }
    module.files.push_back(file);
    modules.push_back(std::move(module));
  }
  if (modules.empty()) throw PublishError("发布文件夹" + Quoted(releaseDir) + "是空的。");
  return modules;
}

}  // namespace publish
