// The registry as the 32-bit product sees it: on 64-bit Windows (and in a
// 64-bit test build) every key is opened in the 32-bit view, so that a test
// build and the product read and write the same values. ReadString64 alone
// reads the 64-bit view, for system values kept only there.
#include "platform/registry.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/os_error.h"
#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace platform::win32 {
namespace {

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::ClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RegistryRoot::CurrentUser:
      return HKEY_CURRENT_USER;
    case RegistryRoot::LocalMachine:
      return HKEY_LOCAL_MACHINE;
  }
  return HKEY_LOCAL_MACHINE;
}

// Key paths may be written with a leading backslash.
std::wstring KeyPath(const std::string& key) {
  std::wstring w = Widen(key);
  while (!w.empty() && w.front() == L'\\') w.erase(0, 1);
  return w;
}

class Win32Registry : public IRegistry {
 public:
  bool WriteString(RegistryRoot root, const std::string& key, const std::string& name,
                   const std::string& data) override {
    HKEY raw = nullptr;
    LONG rc = RegCreateKeyExW(RootKey(root), KeyPath(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &raw, nullptr);
    if (rc != ERROR_SUCCESS) return false;
    RegistryKey k(raw);
    const std::wstring value = Widen(data);
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    rc = RegSetValueExW(k.get(), Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        bytes);
    if (rc != ERROR_SUCCESS) {
      const std::string text = ErrorText(static_cast<unsigned long>(rc));
      throw OsError("无法写入注册表值“" + name + "”：" + text, text);
    }
    return true;
  }

  std::optional<std::string> ReadString(RegistryRoot root, const std::string& key,
                                        const std::string& name) override {
    return ReadIn(KEY_WOW64_32KEY, root, key, name);
  }

  std::optional<std::string> ReadString64(RegistryRoot root, const std::string& key,
                                          const std::string& name) override {
    return ReadIn(KEY_WOW64_64KEY, root, key, name);
  }

 private:
  static std::optional<std::string> ReadIn(REGSAM view, RegistryRoot root, const std::string& key,
                                           const std::string& name) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(RootKey(root), KeyPath(key).c_str(), 0, KEY_READ | view, &raw) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    RegistryKey k(raw);
    const std::wstring valueName = Widen(name);
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(k.get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return std::nullopt;
    std::vector<wchar_t> buf(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
    if (RegQueryValueExW(k.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &got) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    size_t n = got / sizeof(wchar_t);
    while (n > 0 && buf[n - 1] == L'\0') --n;  // stored terminators are not text
    // The strings of a multi-string value, one per line.
    if (type == REG_MULTI_SZ) std::replace(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(n), L'\0', L'\n');
    return Narrow(std::wstring_view(buf.data(), n));
  }
};

}  // namespace

std::unique_ptr<IRegistry> CreateRegistry() { return std::make_unique<Win32Registry>(); }

}  // namespace platform::win32
