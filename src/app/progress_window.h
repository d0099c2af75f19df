#pragma once
// The progress window's behaviour, apart from its painting: what each report
// of the update run shows, when the window may close, and the close action
// that starts the client program. A view (the Win32 window) paints State()
// and passes on the run's reports, clicks and close requests, all on the
// window's thread.
#include <cstdint>
#include <functional>
#include <string>

#include "app/launch_params.h"
#include "app/progress_report.h"
#include "app/user_texts.h"

namespace platform {
class IMessageBox;
class IProcessLauncher;
class IRegistry;
}  // namespace platform

namespace engine {
class TraceFile;
}

namespace app {

struct LabelState {
  std::string text;
  bool visible = false;
  bool operator==(const LabelState&) const = default;
};

// What the window shows; the view paints exactly this.
struct FormState {
  LabelState hint{texts::kStarting, true};
  LabelState error{"错误信息", false};
  LabelState percent{"30%", false};
  std::int32_t barWidth = 144;
  bool barVisible = false;
  bool closeButtonVisible = false;
  bool operator==(const FormState&) const = default;
};

// What the logic asks of its window.
class IWindowHost {
 public:
  virtual ~IWindowHost() = default;
  virtual void Invalidate() = 0;  // State() changed
  virtual void Close() = 0;       // a close request, answered by MayClose
  // Where a run on another thread reports to this window.
  virtual IProgressReport& Report() = 0;
};

// Starts the update worker with its own copy of the launch parameters.
using WorkerStarter = std::function<void(const LaunchParams&, IProgressReport&)>;

class ProgressWindow : public IProgressReport {
 public:
  ProgressWindow(platform::IProcessLauncher& processes, const engine::TraceFile& trace, std::string programPath,
                 WorkerStarter startWorker = {});
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  void AttachHost(IWindowHost* host) { host_ = host; }

  // Window creation: reads the launch parameters; "REG" registers the URL
  // protocol and asks the program to end. An error is shown like any
  // unhandled error of the window toolkit, and start-up goes on.
  void OnCreate(const Arguments& args, platform::IRegistry& registry, platform::IMessageBox& messageBox,
                  const std::string& workDate);
  bool EndRequested() const { return terminate_; }
  // First showing: closes at once after "REG", else starts the worker.
  void OnFirstShown();

  // The run's reports. Current and Finished run the close action; an error
  // or a refusal waits for the button. A refusal also drops the server's
  // address and port from what the client program is given.
  void OnStatus(Status status) override;
  // A total of 0 or less changes nothing.
  void OnProgress(std::int32_t done, std::int32_t total) override;
  void OnError(std::string text) override;
  void OnRefusal(std::string text) override;
  bool MayClose() const { return canClose_; }
  // The close action: start the client program and close.
  void CloseAndStartClient();
  // The client's command line: its program word, then each of the twelve
  // values as a blank and the value in quotes, its bytes unchanged (the
  // client splits its command line at the quotes, without escapes; URL-form
  // values hold no quote and end in no backslash, see OutsideValue).
  std::string BuildClientCommand() const;
  // The client program file: ClientExe, or for a bare name the file of that
  // name (".exe" added when it has no extension) in the updater's folder.
  std::string ClientProgramPath() const;

  const FormState& State() const { return state_; }
  const LaunchParams& Params() const { return params_; }

 private:
  void ReadParams(const Arguments& args, const std::string& workDate);
  void Changed();
  void ShowHint(std::string hint);
  // The error state: the hint, the error text and the button.
  void ShowError(std::string hint, std::string text);

  platform::IProcessLauncher& processes_;
  const engine::TraceFile& trace_;
  std::string programPath_;
  WorkerStarter startWorker_;
  IWindowHost* host_ = nullptr;
  Arguments args_;
  bool terminate_ = false;
  FormState state_;
  LaunchParams params_;
  bool canClose_ = false;
};

// The standard error box text of an unhandled error: its message, with a
// full stop added unless it already ends in one (or is empty).
std::string ErrorBoxText(const std::string& message);
inline constexpr const char* kApplicationTitle = "AutoUpdate";
// The client application's program, beside the updater.
inline constexpr const char* kClientProgram = "ZEPRA.exe";

}  // namespace app
