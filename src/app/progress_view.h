#pragma once
// The progress window on screen: paints what the window logic decides,
// forwards close requests, clicks and the worker's posted messages to it, and
// runs the window's message loop.
#include <memory>

#include "app/launch_params.h"
#include "app/progress_window.h"
#include "app/status_messages.h"
#include "platform/window.h"

namespace platform {
class IMessageBox;
class IRegistry;
}  // namespace platform

namespace app {

class ProgressView : public IWindowHost, public IStatusSink, private platform::WindowEvents {
 public:
  explicit ProgressView(ProgressWindow& form);
  ~ProgressView() override;
  ProgressView(const ProgressView&) = delete;
  ProgressView& operator=(const ProgressView&) = delete;

  void Show(int showCommand) { window_.Show(showCommand); }
  int RunMessageLoop() { return window_.RunMessageLoop(); }

  // IWindowHost
  void Invalidate() override;
  void Close() override { window_.RequestClose(); }
  IStatusSink& StatusSink() override { return *this; }

  // IStatusSink: posted to the window's thread, safe from any thread. The
  // text of status 0 travels as a heap block that the window takes over.
  void PostStatus(Status status) override;
  void PostError(std::string_view text) override;
  void PostRefusal(std::string_view text) override;
  void PostProgress(std::int32_t done, std::int32_t total) override;

 private:
  void PostText(Status status, std::string_view text);
  void OnPaint(platform::Canvas& canvas) override;
  void OnShown() override { form_.OnFirstShown(); }
  bool OnCloseRequest() override { return form_.MayClose(); }
  bool OnMouseDown(int x, int y) override { return OnButton(x, y); }
  void OnMouseUp(int x, int y) override;
  void OnPosted(unsigned message, std::uintptr_t first, std::intptr_t second) override;
  bool OnButton(int x, int y) const;

  ProgressWindow& form_;
  platform::Window window_;
};

// The program's run after the argument test: window creation (reading the
// launch parameters), first showing, message loop. Returns the exit code.
int RunProgressWindow(ProgressWindow& form, const Arguments& args, platform::IRegistry& registry,
                      platform::IMessageBox& messageBox, int showCommand);

}  // namespace app
