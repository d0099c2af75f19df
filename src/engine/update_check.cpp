// The version check: which manifest entries of one application need updating.
#include <string_view>
#include <unordered_map>

#include "engine/client_update.h"
#include "engine/paths.h"
#include "engine/trace_file.h"
#include "engine/version_rules.h"
#include "platform/files.h"
#include "xml/xml_document.h"

namespace engine {
namespace {

// The entry attributes, matched by their upper-cased names.
enum class EntryField { SetupPath, Version, FileName, IsReplace, IsRegister, Script, AutoRun };
struct FieldName {
  std::string_view upper;
  EntryField field;
};
constexpr FieldName kFields[] = {
    {"SETUPPATH", EntryField::SetupPath}, {"VERSION", EntryField::Version},
    {"FILENAME", EntryField::FileName},   {"ISREPLACE", EntryField::IsReplace},
    {"ISREGISTER", EntryField::IsRegister}, {"SCRIPT", EntryField::Script},
    {"AUTORUN", EntryField::AutoRun},
};

void Store(TClientFileInfo& entry, EntryField field, const std::string& value) {
  switch (field) {
    case EntryField::SetupPath: entry.SetupPath = value; break;
    case EntryField::Version: entry.Version = value; break;
    case EntryField::FileName: entry.FileName = value; break;
    case EntryField::IsReplace: entry.IsReplace = value == "1"; break;
    case EntryField::IsRegister: entry.IsRegister = value == "1"; break;
    case EntryField::Script: entry.Script = value; break;
    case EntryField::AutoRun: entry.AutoRun = value; break;
  }
}

}  // namespace

bool TClientUpdate::CheckUpdate(const std::string& appName) {
  if (FServerUrl.empty()) return false;
  FUpdateList.clear();
  {
    TFileList server, client;
    ReadFileList(server, FServerDoc.get(), appName);
    ReadFileList(client, FClientDoc.get(), appName);
    BuildUpdateList(server, client, FAppDir, FHasBDE, FUpdateList);
  }
  FAppName = appName;
  DebugLog("等更新模块", std::to_string(FUpdateList.size()));
  return !FUpdateList.empty();
}

void TClientUpdate::ReadFileList(TFileList& list, const xml::XmlDocument* doc, const std::string& appName) {
  if (!doc) return;
  const xml::XmlNode* group = nullptr;
  try {
    group = doc->selectSingleNode("data/" + appName);
  } catch (const xml::XmlError&) {
    return;  // an application name that is no element name selects nothing
  }
  if (!group) return;
  for (const xml::XmlNode* child : group->childNodes()) {
    if (child->nodeType() != xml::NodeType::Element) continue;
    auto entry = std::make_shared<TClientFileInfo>();
    entry->Name = child->nodeName();
    const xml::XmlAttributes& attrs = child->attributes();
    for (size_t i = 0; i < attrs.length(); ++i) {
      const xml::XmlNode* attr = attrs.item(i);
      const std::string upper = UpperAscii(attr->nodeName());
      for (const FieldName& f : kFields) {
        if (upper == f.upper) Store(*entry, f.field, attr->nodeValue());
      }
    }
    list.push_back(std::move(entry));
  }
}

void TClientUpdate::BuildUpdateList(const TFileList& server, const TFileList& client, const std::string& appDir,
                                    bool hasBDE, TFileList& updateList) const {
  // The first client entry of each upper-cased name, found without a scan
  // per server entry.
  std::unordered_map<std::string, const TClientFileInfo*> firstByName;
  firstByName.reserve(client.size());
  for (const auto& c : client) firstByName.emplace(UpperAscii(c->Name), c.get());

  for (const auto& s : server) {
    auto found = firstByName.find(UpperAscii(s->Name));
    if (found == firstByName.end()) {
      updateList.push_back(s);
      continue;
    }
    const TClientFileInfo& c = *found->second;
    if (s->IsReplace && IsVersionGreater(s->Version, c.Version)) updateList.push_back(s);
    if (!IsPresent(s->Name, s->SetupPath, appDir, hasBDE)) updateList.push_back(s);
  }
}

bool TClientUpdate::IsFilePresent(const std::string& name, const std::string& setupPath) const {
  return IsPresent(name, setupPath, FAppDir, FHasBDE);
}

// A name with a "." is a file, without one a folder; the folder tokens are
// compared ignoring case here (and only here).
bool TClientUpdate::IsPresent(const std::string& name, const std::string& setupPath, const std::string& appDir,
                              bool hasBDE) const {
  const std::string token = UpperAscii(setupPath);
  if (name.find('.') != std::string::npos) {
    if (token == "#SYSTEM32") return platform::FileExists(JoinPath(FSysDir, name));
    if (token == "#WINDOWS") return platform::FileExists(JoinPath(FWinDir, name));
    if (token == "#BDE") return hasBDE;
    return platform::FileExists(JoinPath(appDir, name));
  }
  if (token == "#SYSTEM32") return platform::DirectoryExists(JoinPath(FSysDir, name));
  return platform::DirectoryExists(JoinPath(appDir, name));
}

std::int32_t TClientUpdate::IndexOfFile(const TFileList& list, const std::string& name) {
  const std::string upper = UpperAscii(name);
  for (size_t i = 0; i < list.size(); ++i) {
    if (UpperAscii(list[i]->Name) == upper) return static_cast<std::int32_t>(i);
  }
  return -1;
}

}  // namespace engine
