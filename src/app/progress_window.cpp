#include "app/progress_window.h"

#include <exception>
#include <optional>

#include "app/protocol_registration.h"
#include "app/window_layout.h"
#include "engine/paths.h"
#include "engine/trace_file.h"
#include "platform/file_names.h"
#include "platform/message_box.h"
#include "platform/processes.h"

namespace app {
namespace {

constexpr unsigned kMbIconError = 0x10;

// Signed 32-bit product that wraps on overflow, as the window's arithmetic
// has always been done in 32-bit registers.
std::int32_t Mul32(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// A blank and the value in quotes, the value's bytes as they are: the client
// program's own values come back to it exactly as it gave them.
std::string Quoted(std::string_view text) { return " \"" + std::string(text) + "\""; }

// The program's own word of the command line: quoted only when a blank
// would otherwise split it.
std::string ProgramWord(const std::string& path) {
  return path.find_first_of(" \t") == std::string::npos ? path : "\"" + path + "\"";
}

}  // namespace

std::string ErrorBoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

ProgressWindow::ProgressWindow(platform::IProcessLauncher& processes, const engine::TraceFile& trace,
                               std::string programPath, WorkerStarter startWorker)
    : processes_(processes), trace_(trace), programPath_(std::move(programPath)), startWorker_(std::move(startWorker)) {}

void ProgressWindow::OnCreate(const Arguments& args, platform::IRegistry& registry,
                            platform::IMessageBox& messageBox, const std::string& workDate) {
  canClose_ = false;
  args_ = args;
  try {
    if (IsRegistrationStart(args)) {
      RegisterProtocol(registry, programPath_);
      terminate_ = true;
    }
    ReadParams(args, workDate);
  } catch (const std::exception& e) {
    messageBox.Show(ErrorBoxText(e.what()), kApplicationTitle, platform::MbOk | kMbIconError);
  }
}

// The URL form's port look-up goes to the trace file, and the port is
// handed on only once it is there: a run whose trace cannot be written
// gives the client program no port.
void ProgressWindow::ReadParams(const Arguments& args, const std::string& workDate) {
  LaunchParams read;
  const std::optional<PortLookup> lookup = app::ReadParams(args, workDate, read);
  params_ = read;
  if (!lookup) return;
  params_.serverPort.clear();
  trace_.Write("取端口-url", lookup->url);
  trace_.Write("取端口", lookup->port);
  params_.serverPort = read.serverPort;
}

void ProgressWindow::OnFirstShown() {
  if (StartsWithReg(args_)) {
    canClose_ = true;
    if (host_) host_->Close();
    return;
  }
  if (startWorker_ && host_) startWorker_(params_, host_->Report());
}

void ProgressWindow::OnStatus(Status status) {
  const std::string& app = params_.appName;
  switch (status) {
    case Status::Waiting:
      ShowHint(texts::Waiting());
      break;
    case Status::Connecting:
      ShowHint(texts::Connecting(params_.serverUrl));
      break;
    case Status::Checking:
      ShowHint(texts::Checking(app));
      break;
    case Status::Updating:
      state_.percent = {"0%", true};
      state_.barWidth = 0;
      state_.barVisible = true;
      ShowHint(texts::Updating(app));
      break;
    case Status::Current:
      ShowHint(texts::Current(app));
      CloseAndStartClient();
      break;
    case Status::Finished:
      ShowHint(texts::Finished(app));
      CloseAndStartClient();
      break;
  }
}

void ProgressWindow::OnError(std::string text) {
  ShowError(texts::Failed(params_.serverUrl, params_.appName), std::move(text));
}

void ProgressWindow::OnRefusal(std::string text) {
  // The client program is not handed the refused server either.
  params_.serverUrl.clear();
  params_.serverPort.clear();
  ShowError(texts::Refused(params_.appName), std::move(text));
}

void ProgressWindow::ShowHint(std::string hint) {
  state_.hint.text = std::move(hint);
  Changed();
}

void ProgressWindow::ShowError(std::string hint, std::string text) {
  state_.hint.text = std::move(hint);
  state_.error.text = std::move(text);
  state_.error.visible = true;
  state_.closeButtonVisible = true;
  Changed();
}

void ProgressWindow::OnProgress(std::int32_t done, std::int32_t total) {
  if (total <= 0) return;
  state_.percent.text = std::to_string(Mul32(done, 100) / total) + "%";
  state_.barWidth = Mul32(layout::kRateFullWidth, done) / total;
  Changed();
}

void ProgressWindow::CloseAndStartClient() {
  // The client application itself is always its program beside the updater.
  if (params_.appName == kClientApplication) params_.clientExe = engine::FolderOf(programPath_) + kClientProgram;
  processes_.Start(ClientProgramPath(), BuildClientCommand(), platform::SwShowNormal);
  canClose_ = true;
  if (host_) host_->Close();
}

std::string ProgressWindow::BuildClientCommand() const {
  const LaunchParams& p = params_;
  std::string cmd = ProgramWord(p.clientExe);
  cmd += Quoted(p.appName == kClientApplication ? p.userId2 : "[" + p.userId + "]");
  for (const std::string* field : {&p.appCode, &p.workDate, &p.extra1, &p.extra2, &p.extra3, &p.extra4,
                                   &p.serverUrl, &p.serverPort}) {
    cmd += Quoted(*field);
  }
  cmd += Quoted(" ");
  cmd += Quoted("HTTP");
  cmd += Quoted(" ");
  return cmd;
}

std::string ProgressWindow::ClientProgramPath() const {
  const std::string& exe = params_.clientExe;
  if (exe.empty() || platform::IsFullPath(exe)) return exe;
  // A bare name means a program beside the updater, as the system's own
  // search would have found first; nothing else is searched.
  std::string path = engine::JoinPath(engine::FolderOf(programPath_), exe);
  if (engine::NameOf(path).find('.') == std::string::npos) path += ".exe";
  return path;
}

void ProgressWindow::Changed() {
  if (host_) host_->Invalidate();
}

}  // namespace app
