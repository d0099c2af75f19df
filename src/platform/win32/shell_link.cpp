#include "platform/shell_link.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <memory>

#include "platform/codepage.h"
#include "platform/os_error.h"
#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace platform::win32 {
namespace {

// COM for the calling thread for the length of one call; a thread that has
// it already keeps it as it was.
class ComScope {
 public:
  ComScope() : hr_(CoInitialize(nullptr)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT hr_;
};

void Check(HRESULT hr, const std::string& what) {
  if (FAILED(hr)) {
    const std::string text = ErrorText(static_cast<unsigned long>(hr));
    throw OsError(what + "：" + text, text);
  }
}

class Win32Shell : public IShell {
 public:
  std::string DesktopDirectory() override {
    PIDLIST_ABSOLUTE raw = nullptr;
    Check(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &raw), "无法取得桌面文件夹");
    CoTaskMem pidl(raw);
    char path[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListA(static_cast<PCIDLIST_ABSOLUTE>(pidl.get()), path)) {
      throw OsError("无法取得桌面文件夹：它不在文件系统中。");
    }
    return AnsiToUtf8(path);
  }

  void CreateLink(const std::string& linkPath, const std::string& target,
                  const std::string& workingDirectory) override {
    ComScope com;
    ComPtr<IShellLinkA> link;
    Check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.put_void()),
          "无法创建快捷方式");
    // The shortcut is a convenience: what the shell makes of the path, the
    // folder and the saving is its own affair, and no reason to stop the run.
    link->SetPath(Utf8ToAnsi(target).c_str());
    link->SetWorkingDirectory(Utf8ToAnsi(workingDirectory).c_str());
    ComPtr<IPersistFile> file;
    Check(link->QueryInterface(IID_IPersistFile, file.put_void()), "无法创建快捷方式");
    file->Save(Widen(linkPath).c_str(), FALSE);
  }
};

}  // namespace

std::unique_ptr<IShell> CreateShell() { return std::make_unique<Win32Shell>(); }

}  // namespace platform::win32
