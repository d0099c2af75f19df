// Installing the update list: download every package, unpack each into its
// folder, run AutoRun programs, record the new state in the client
// configuration, register components, run the BDE setup, make the shortcut.
#include <exception>
#include <unordered_map>
#include <unordered_set>

#include "engine/client_update.h"
#include "engine/paths.h"
#include "engine/server_address.h"
#include "engine/trace_file.h"
#include "engine/xml_routines.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/processes.h"
#include "platform/shell_link.h"
#include "xml/xml_document.h"
#include "zip/unzipper.h"

namespace engine {
namespace {

// The text less its first ".zip", in any letter case.
std::string WithoutZipAnyCase(const std::string& text) {
  size_t p = FindIgnoringCase(text, ".zip");
  return p == std::string::npos ? text : text.substr(0, p) + text.substr(p + 4);
}

// The text less its first ".zip" written exactly so.
std::string WithoutZipLowerCase(const std::string& text) {
  size_t p = text.find(".zip");
  return p == std::string::npos ? text : text.substr(0, p) + text.substr(p + 4);
}

// The text with its first "#System32" (any letter case) replaced.
std::string ReplaceSystemToken(const std::string& text, const std::string& sysDir) {
  size_t p = FindIgnoringCase(text, "#System32");
  return p == std::string::npos ? text : text.substr(0, p) + sysDir + text.substr(p + 9);
}

xml::XmlNode* CreateAttribute(xml::XmlDocument& doc, xml::XmlNode* element, const std::string& name,
                              const std::string& value) {
  xml::XmlNode* attr = doc.createAttribute(name);
  element->attributes().setNamedItem(attr);
  attr->setNodeValue(value);
  return attr;
}

// The updater lives in "<installation>\Update": the installation folder is
// its own folder less these 7 characters.
constexpr size_t kUpdateFolderLength = 7;
constexpr const char* kRegsvr32 = "regsvr32.exe";

class EConfigMissing : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace

void TClientUpdate::Progress(std::int32_t done, std::int32_t total) {
  if (FOnProgress) FOnProgress(done, total);
}

bool TClientUpdate::ExtractPackage(zip::TUnZipper& zipper, const std::string& packagePath, bool replace,
                                   const std::string& targetDir) {
  zipper.SetDestDir(targetDir);
  zipper.SetRootDir(targetDir);
  zipper.OverwriteMode = replace ? zip::TUZOverwriteMode::Always : zip::TUZOverwriteMode::ifNewer;
  zipper.RecreateDirs = true;
  zipper.SetZipName(packagePath);
  zipper.DoAll = true;
  zipper.ReplaceReadOnly = true;
  try {
    zipper.ExtractFiles();
  } catch (const std::exception&) {
    return false;  // a missing or damaged package installs nothing
  }
  // Files kept by the overwrite rule are fine; any other file passed over
  // means the package is not fully installed.
  return zipper.FailedCount() == 0;
}

bool TClientUpdate::InstallUpdate() {
  const std::int32_t n = static_cast<std::int32_t>(FUpdateList.size());
  const std::int32_t total = 2 * n;

  // A. Preparation.
  std::string installRoot = FolderOf(platform::ProgramPath());
  if (!installRoot.empty() && installRoot.back() == '\\') installRoot.pop_back();
  installRoot = WithoutLastAnsiBytes(installRoot, kUpdateFolderLength);
  std::vector<std::string> registrations;
  bool bdeSeen = false;
  std::string mainFilePath, appTitle, bdePackagePath;
  const xml::XmlNode* serverGroup = FServerDoc ? FServerDoc->selectSingleNode("data/" + FAppName) : nullptr;
  const std::string mainFileName = GetAttrValue(serverGroup, "mainfile", FAppName + ".exe");
  const std::string desktopFlag = GetAttrValue(serverGroup, "IsDeskTop", "0");

  // Entries (by upper-cased name) that did not install: their versions are
  // not recorded, so the next run tries again.
  std::unordered_set<std::string> notInstalled;
  std::vector<bool> downloaded(FUpdateList.size(), false);
  bool bdeFailed = false;

  // B. Downloads.
  for (std::int32_t i = 0; i < n; ++i) {
    const TClientFileInfo& e = *FUpdateList[static_cast<size_t>(i)];
    if (FHasBDE && e.SetupPath == "#BDE") continue;
    const std::string staged = JoinPath(kStagingFolder, e.FileName);
    if (e.SetupPath == "#BDE") bdePackagePath = staged;
    downloaded[static_cast<size_t>(i)] = DownloadPackage(e.FileName);
    if (!downloaded[static_cast<size_t>(i)]) {
      notInstalled.insert(UpperAscii(e.Name));
      if (e.SetupPath == "#BDE") bdeFailed = true;
    }
    Progress(i, total);
  }

  // C. Unpacking.
  {
    zip::TUnZipper zipper;
    for (std::int32_t i = 0; i < n; ++i) {
      const TClientFileInfo& e = *FUpdateList[static_cast<size_t>(i)];
      DebugLog(e.FileName, e.Version);
      const std::string staged = JoinPath(kStagingFolder, e.FileName);
      const bool fetched = downloaded[static_cast<size_t>(i)];
      bool installed = true;
      std::string target;
      bool registrable = true;
      if (e.SetupPath == "#System32") {
        target = FSysDir;
      } else if (e.SetupPath == "#windows") {
        target = FWinDir;
      } else if (e.SetupPath == "#BDE") {
        bdeSeen = true;
        registrable = false;
        if (!FHasBDE) installed = fetched && ExtractPackage(zipper, staged, false, kStagingFolder);
      } else {
        target = FAppDir;
      }
      if (!target.empty()) installed = fetched && ExtractPackage(zipper, staged, e.IsReplace, target);
      if (!installed) {
        notInstalled.insert(UpperAscii(e.Name));
        if (e.SetupPath == "#BDE") bdeFailed = true;
      }
      if (installed && registrable && e.IsRegister) {
        registrations.push_back(JoinPath(target, WithoutZipAnyCase(e.FileName)));
      }

      if (SameTextAscii(WithoutZipLowerCase(e.FileName), mainFileName)) {
        mainFilePath = JoinPath(FAppDir, mainFileName);
        appTitle = e.Script;
      }

      if (installed && !e.AutoRun.empty()) {
        const std::string program =
            e.SetupPath == "#System32" ? ReplaceSystemToken(e.AutoRun, FSysDir) : JoinPath(FAppDir, e.AutoRun);
        if (platform::FileExists(program)) env_.processes.RunAndWait(program, program, platform::SwShowNormal);
      }
      Progress(n + i, total);
    }

    // D. Recording in the client configuration. The file is the one set-up
    // read; the address look-up is traced all the same, with the address the
    // run used.
    ClientConfigName(FServerUrl);
    FClientDoc = LoadXmlFromFile(FConfigPath);
    xml::XmlNode* root = FClientDoc->documentElement();
    if (!root) {
      throw EConfigMissing("客户端配置文件“" + FConfigPath + "”不存在或无法读取，无法记录更新结果。");
    }
    if (xml::XmlNode* setup = root->selectSingleNode("setup")) {
      SetAttrValue(setup, "path", installRoot);
    } else {
      setup = root->appendChild(FClientDoc->createElement("setup"));
      CreateAttribute(*FClientDoc, setup, "path", installRoot);
    }
    xml::XmlNode* app = root->selectSingleNode(FAppName);
    if (!app) {
      app = root->appendChild(FClientDoc->createElement(FAppName));
      CreateAttribute(*FClientDoc, app, "name", appTitle);
      CreateAttribute(*FClientDoc, app, "mainfile", mainFilePath);
      CreateAttribute(*FClientDoc, app, "IsDesktop", desktopFlag);
    } else if (!mainFilePath.empty()) {
      SetAttrValue(app, "mainfile", mainFilePath);
    }
    for (const auto& e : FUpdateList) {
      if (notInstalled.count(UpperAscii(e->Name))) continue;
      SetEntryAttr(app, e->Name, "version", e->Version);
      SetEntryAttr(app, e->Name, "setupPath", e->SetupPath);
      SetEntryAttr(app, e->Name, "script", e->Script);
    }
    SyncEntryVersions(notInstalled);
    FClientDoc->save(FConfigPath);

    // E. Registration: Regsvr32 of the system folder, started hidden, nobody
    // waits.
    const std::string regsvr32 = JoinPath(FSysDir, kRegsvr32);
    for (const std::string& path : registrations) {
      env_.processes.Start(regsvr32, "Regsvr32 /s \"" + path + " \" ", platform::SwHide);
    }

    // F. The staging folder stays: the BDE setup below runs from there. (The
    // clean-up command "RD" names no program, so on a clean machine starting
    // it runs nothing; all it could ever start is a program planted under
    // that name, so it is not started at all.)
  }

  // G. BDE setup, when the engine was missing and its package came.
  if (!FHasBDE && bdeSeen && !bdeFailed) {
    const std::string setupProgram = WithoutZipAnyCase(bdePackagePath);
    if (!setupProgram.empty()) env_.processes.RunAndWait(setupProgram, setupProgram, platform::SwShowNormal);
  }

  // H. Shortcut.
  if (desktopFlag == "1") CreateAppShortcut(FAppName);

  // I.
  Progress(total, total);
  return true;
}

void TClientUpdate::SetEntryAttr(xml::XmlNode* app, const std::string& entryName, const std::string& attrName,
                                 const std::string& value) {
  xml::XmlNode* entry = FClientDoc->selectSingleNode("data/" + FAppName + "/" + entryName);
  if (!entry) entry = app->appendChild(FClientDoc->createElement(entryName));
  xml::XmlNode* attr = entry->attributes().getNamedItem(attrName);
  if (!attr) {
    CreateAttribute(*FClientDoc, entry, attrName, value);
  } else {
    attr->setNodeValue(value);
  }
}

void TClientUpdate::SyncEntryVersions(const std::unordered_set<std::string>& notInstalled) {
  const xml::XmlNode* data = FClientDoc->selectSingleNode("data");
  if (!data) return;
  // First update-list entry per upper-cased name, as a linear search would find.
  std::unordered_map<std::string, const TClientFileInfo*> firstByName;
  for (const auto& e : FUpdateList) firstByName.emplace(UpperAscii(e->Name), e.get());
  for (const xml::XmlNode* group : data->childNodes()) {
    if (!group->hasChildNodes()) continue;
    for (xml::XmlNode* child : group->childNodes()) {
      const std::string upper = UpperAscii(child->nodeName());
      auto found = firstByName.find(upper);
      if (found == firstByName.end() || notInstalled.count(upper)) continue;
      if (xml::XmlNode* version = child->attributes().getNamedItem("version")) {
        version->setNodeValue(found->second->Version);
      }
    }
  }
}

void TClientUpdate::CreateAppShortcut(const std::string& appName) {
  const xml::XmlNode* app = FClientDoc ? FClientDoc->selectSingleNode("data/" + appName) : nullptr;
  if (!app) return;
  const std::string target = GetAttrValue(app, "mainfile", "");
  const std::string title = GetAttrValue(app, "name", "");
  if (!target.empty() && platform::FileExists(target)) CreateDesktopLink(target, title);
}

void TClientUpdate::CreateDesktopLink(const std::string& target, const std::string& title) {
  try {
    std::string name = title;
    if (name.empty()) {
      // No title recorded: the program's own name stands for it.
      name = NameOf(target);
      size_t dot = name.rfind('.');
      if (dot != std::string::npos && dot > 0) name.erase(dot);
    }
    const std::string linkName = !name.empty() && name.front() == '\\' ? name : "\\" + name + ".lnk";
    // The title comes from the server: the link must be an ordinary file
    // below the desktop, whatever separators, dots or streams it names.
    const std::string desktop = env_.shell.DesktopDirectory();
    const std::string linkPath = desktop + linkName;
    if (!platform::IsPlainRelativePath(std::string_view(linkName).substr(1)) ||
        !platform::IsInsideFolder(desktop, linkPath)) {
      throw std::runtime_error("快捷方式名称“" + title + "”无效。");
    }
    env_.shell.CreateLink(linkPath, target, FolderOf(target));
  } catch (const std::exception& e) {
    env_.messageBox.Show(e.what(), kEngineCaption, platform::MbOk);
  }
}

}  // namespace engine
