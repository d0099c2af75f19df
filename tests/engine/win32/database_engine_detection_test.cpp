#include <gtest/gtest.h>
#include <windows.h>

#include "engine/database_engine.h"
#include "platform/system_services.h"

namespace {

// The database engine's own key, in the view the 32-bit product sees. The
// test prefix is private to the build, so the key can be made and removed.
class BdeDetection : public ::testing::Test {
 protected:
  void TearDown() override { Remove(); }
  static void Remove() {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Borland\\BLW32", KEY_WOW64_32KEY, 0);
  }
  static void SetValue(const wchar_t* data, DWORD type = REG_SZ) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Borland\\BLW32", 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD bytes = static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t));
    RegSetValueExW(key, L"BLAPIPATH", 0, type, reinterpret_cast<const BYTE*>(data), bytes);
    RegCloseKey(key);
  }
  std::unique_ptr<platform::IRegistry> registry = platform::CreateSystemServices().registry;
};

TEST_F(BdeDetection, PresentOnlyWithANonEmptyPath) {
  Remove();
  EXPECT_FALSE(engine::IsDatabaseEngineInstalled(*registry));  // no key
  SetValue(L"");
  EXPECT_FALSE(engine::IsDatabaseEngineInstalled(*registry));
  SetValue(L"C:\\Program Files\\Borland\\BDE");
  EXPECT_TRUE(engine::IsDatabaseEngineInstalled(*registry));
  SetValue(L"C:\\BDE", REG_BINARY);  // a value of another type
  EXPECT_FALSE(engine::IsDatabaseEngineInstalled(*registry));
  Remove();
  EXPECT_FALSE(engine::IsDatabaseEngineInstalled(*registry));
}

}  // namespace
