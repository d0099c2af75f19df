#pragma once
// The progress window on screen: paints what the window logic decides,
// forwards close requests and clicks to it, carries the worker's reports
// over to the window's thread, and runs the window's message loop.
#include <memory>

#include "app/launch_params.h"
#include "app/progress_window.h"
#include "app/posted_report.h"
#include "platform/window.h"

namespace platform {
class IMessageBox;
class IRegistry;
}  // namespace platform

namespace app {

class ProgressView : public IWindowHost, private platform::WindowEvents {
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
  // Safe from any thread: each report reaches the window logic on the
  // window's thread.
  IProgressReport& Report() override { return report_; }

 private:
  void OnPaint(platform::Canvas& canvas) override;
  void OnShown() override { form_.OnFirstShown(); }
  bool OnCloseRequest() override { return form_.MayClose(); }
  bool OnMouseDown(int x, int y) override { return OnButton(x, y); }
  void OnMouseUp(int x, int y) override;
  bool OnButton(int x, int y) const;

  ProgressWindow& form_;
  platform::Window window_;
  PostedReport report_;
};

// The program's run after the argument test: window creation (reading the
// launch parameters), first showing, message loop. Returns the exit code.
int RunProgressWindow(ProgressWindow& form, const Arguments& args, platform::IRegistry& registry,
                      platform::IMessageBox& messageBox, int showCommand);

}  // namespace app
