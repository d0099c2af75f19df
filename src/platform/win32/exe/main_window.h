#pragma once
// The progress window on Windows: a borderless GDI window that paints what
// app::ProgressWindow decides and forwards messages, clicks and close requests to
// it. AutoUpdate.exe and the window test driver both run it.
#include <windows.h>

#include <memory>

#include "app/progress_window.h"

namespace platform {
class IMessageBox;
class IRegistry;
}  // namespace platform

namespace shell {

// Posts to the window from any thread. The text of status 0 goes as a heap
// block that the window takes over.
class WindowStatusSink : public app::IStatusSink {
 public:
  explicit WindowStatusSink(HWND window) : window_(window) {}
  void PostStatus(app::Status status) override;
  void PostError(std::string_view text) override;
  void PostProgress(std::int32_t done, std::int32_t total) override;

 private:
  HWND window_;
};

class MainWindow : public app::IWindowHost {
 public:
  explicit MainWindow(app::ProgressWindow& form);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the (hidden) window, centred on the desktop.
  void Create();
  void Show(int showCommand);
  HWND handle() const { return window_; }

  void Invalidate() override;
  void Close() override;
  app::IStatusSink& StatusSink() override;

 private:
  struct Resources;
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint(HDC target);
  bool OnButton(LPARAM point) const;

  app::ProgressWindow& form_;
  HWND window_ = nullptr;
  bool shown_ = false;
  bool buttonPressed_ = false;
  std::unique_ptr<Resources> resources_;
  std::unique_ptr<WindowStatusSink> sink_;
};

// The program's run after the argument test: window creation (reading the
// launch parameters), first showing, message loop. Returns the exit code.
int RunProgressWindow(app::ProgressWindow& form, const app::Arguments& args, platform::IRegistry& registry,
                      platform::IMessageBox& messageBox, int showCommand);

}  // namespace shell
