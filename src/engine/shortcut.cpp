// The desktop shortcut to the application's main program.
#include <exception>

#include "engine/paths.h"
#include "engine/trace_file.h"
#include "engine/update_engine.h"
#include "engine/user_notices.h"
#include "engine/xml_routines.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/shell_link.h"
#include "xml/xml_document.h"

namespace engine {
namespace {

constexpr const char* kShortcutTraceKey = "快捷方式";

// The link's name below the desktop: a title starting with a backslash is a
// path there already; otherwise the title and ".lnk". No title: the
// program's own name.
std::string LinkName(const std::string& title, const std::string& target) {
  std::string name = title;
  if (name.empty()) {
    name = NameOf(target);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
  }
  return !name.empty() && name.front() == '\\' ? name : "\\" + name + ".lnk";
}

}  // namespace

void UpdateEngine::CreateShortcut(const std::string& appName) {
  const xml::XmlNode* app = config_ ? config_->SelectSingleNode("data/" + appName) : nullptr;
  if (!app) return;
  const std::string target = AttributeOr(app, "mainfile", "");
  const std::string title = AttributeOr(app, "name", "");
  // The configuration may come from a server: a shortcut only ever points at
  // a program of this installation.
  if (!target.empty() && !platform::IsInsideFolder(folders_.app, target)) {
    services_.trace.Write(kShortcutTraceKey, "未创建：目标“" + target + "”不在程序文件夹内");
    return;
  }
  if (!target.empty() && platform::FileExists(target)) CreateDesktopLink(target, title);
}

void UpdateEngine::CreateDesktopLink(const std::string& target, const std::string& title) {
  try {
    const std::string linkName = LinkName(title, target);
    // The title comes from the server: the link must be an ordinary file
    // below the desktop, whatever separators, dots or streams it names.
    const std::string desktop = services_.shell.DesktopDirectory();
    const std::string linkPath = desktop + linkName;
    if (!platform::IsPlainRelativePath(std::string_view(linkName).substr(1)) ||
        !platform::IsInsideFolder(desktop, linkPath)) {
      services_.notices.ShortcutNameInvalid(title);
      return;
    }
    services_.shell.CreateLink(linkPath, target, FolderOf(target));
  } catch (const std::exception& e) {
    services_.notices.ShortcutNotCreated(e.what());
  }
}

}  // namespace engine
