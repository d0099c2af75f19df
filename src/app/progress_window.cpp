#include "app/progress_window.h"

#include <exception>

#include "app/protocol_registration.h"
#include "app/window_layout.h"
#include "engine/paths.h"
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
    ReadParams(args, workDate, trace_, params_);
  } catch (const std::exception& e) {
    messageBox.Show(ErrorBoxText(e.what()), kApplicationTitle, platform::MbOk | kMbIconError);
  }
}

void ProgressWindow::OnFirstShown() {
  if (StartsWithReg(args_)) {
    canClose_ = true;
    if (host_) host_->Close();
    return;
  }
  if (startWorker_ && host_) startWorker_(params_, host_->StatusSink());
}

void ProgressWindow::OnStatus(std::uintptr_t code, std::intptr_t text) {
  const std::string& app = params_.appName;
  const std::string& url = params_.serverUrl;
  switch (static_cast<Status>(static_cast<int>(code))) {
    case Status::Failed:
      ShowError("无法从“" + url + "”更新［" + app + "］。", text);
      break;
    case Status::Refused:
      // The client program is not handed the refused server either.
      params_.serverUrl.clear();
      params_.serverPort.clear();
      ShowError("本次没有更新［" + app + "］。", text);
      break;
    case Status::Connecting:
      state_.hint.text = "正在连接服务器“" + url + "”……";
      Changed();
      break;
    case Status::Waiting:
      state_.hint.text = "另一个更新程序正在运行，正在等待它结束……";
      Changed();
      break;
    case Status::Checking:
      state_.hint.text = "正在检查［" + app + "］最新版本……";
      Changed();
      break;
    case Status::Updating:
      state_.hint.text = "正在更新［" + app + "］……";
      state_.percent = {"0%", true};
      state_.barWidth = 0;
      state_.barVisible = true;
      Changed();
      break;
    case Status::Current:
      state_.hint.text = "［" + app + "］已经是最新版本。";
      Changed();
      CloseAndStartClient();
      break;
    case Status::Finished:
      state_.hint.text = "更新［" + app + "］完成。";
      Changed();
      CloseAndStartClient();
      break;
    default:
      break;
  }
}

void ProgressWindow::ShowError(const std::string& hint, std::intptr_t text) {
  StatusText owned(reinterpret_cast<char*>(text));
  state_.hint.text = hint;
  state_.error.text = owned ? owned.get() : "";
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
