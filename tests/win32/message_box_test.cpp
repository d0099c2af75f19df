#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/message_box.h"
#include "platform/system_services.h"

namespace {

// Finds the box by its caption and presses the button with the given id.
void PressWhenShown(const std::wstring& caption, int button, std::atomic<bool>& pressed) {
  for (int i = 0; i < 300 && !pressed; ++i) {
    if (HWND box = FindWindowW(nullptr, caption.c_str())) {
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
      pressed = true;
      return;
    }
    Sleep(100);
  }
}

// MessageBox is a macro of the system headers, hence the suite's name.
TEST(OwnerlessBox, ReturnsTheButtonPressedFromAnyThread) {
  // A box needs a display. The unit tier has none; the end-to-end tier runs
  // this test again under its X server, where a missing display is a failure.
  if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0) {
    if (GetEnvironmentVariableW(L"AU_REQUIRE_DISPLAY", nullptr, 0) != 0) FAIL() << "no display";
    GTEST_SKIP() << "no display";
  }
  auto box = platform::CreateSystemServices().messageBox;
  struct Case {
    unsigned flags;
    int button;
  };
  const Case cases[] = {
      {platform::MbOk, platform::IdOk},
      {platform::MbYesNo | platform::MbIconInformation, platform::IdNo},
      {platform::MbYesNo, platform::IdYes},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string caption = "确认 " + std::to_string(++n);
    const std::wstring wcaption = L"确认 " + std::to_wstring(n);
    std::atomic<bool> pressed{false};
    std::thread presser(PressWhenShown, wcaption, c.button, std::ref(pressed));
    int answer = 0;
    // Shown from a worker thread, as the engine does.
    std::thread shower([&] { answer = box->Show("正文", caption, c.flags); });
    shower.join();
    presser.join();
    EXPECT_TRUE(pressed);
    EXPECT_EQ(answer, c.button);
  }
}

}  // namespace
