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

// A blank and the value in quotes, written so that the standard Windows
// argument parsing (CommandLineToArgvW, the C runtime) gives back exactly the
// value: a quote inside is escaped, and backslashes before a quote or before
// the closing quote are doubled. Other values keep their bytes as they are.
std::string Quoted(std::string_view text) {
  std::string out = " \"";
  size_t backslashes = 0;
  for (char c : text) {
    if (c == '"') out.append(backslashes + 1, '\\');
    backslashes = c == '\\' ? backslashes + 1 : 0;
    out += c;
  }
  out.append(backslashes, '\\');
  out += '"';
  return out;
}

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

TfrmUpMain::TfrmUpMain(platform::IProcessLauncher& processes, std::string programPath, WorkerStarter startWorker)
    : processes_(processes), programPath_(std::move(programPath)), startWorker_(std::move(startWorker)) {}

void TfrmUpMain::FormCreate(const Arguments& args, platform::IRegistry& registry,
                            platform::IMessageBox& messageBox, const std::string& workDate) {
  FCanClose = false;
  args_ = args;
  try {
    if (IsRegistrationStart(args)) {
      RegisterProtocol(registry, programPath_);
      terminate_ = true;
    }
    ReadParams(args, workDate, FParams);
  } catch (const std::exception& e) {
    messageBox.Show(ErrorBoxText(e.what()), kApplicationTitle, platform::MbOk | kMbIconError);
  }
}

void TfrmUpMain::FormShow() {
  if (StartsWithReg(args_)) {
    FCanClose = true;
    if (host_) host_->Close();
    return;
  }
  if (startWorker_ && host_) startWorker_(FParams, host_->StatusSink());
}

void TfrmUpMain::WMUpdateStatus(std::uintptr_t code, std::intptr_t text) {
  const std::string& app = FParams.AppName;
  const std::string& url = FParams.ServerUrl;
  switch (code) {
    case kStatusFailed: {
      StatusText owned(reinterpret_cast<char*>(text));
      state_.lblHint.text = "无法从“" + url + "”更新［" + app + "］。";
      state_.lblError.text = owned ? owned.get() : "";
      state_.lblError.visible = true;
      state_.btnCloseVisible = true;
      Changed();
      break;
    }
    case kStatusConnecting:
      state_.lblHint.text = "正在连接服务器“" + url + "”……";
      Changed();
      break;
    case kStatusChecking:
      state_.lblHint.text = "正在检查［" + app + "］最新版本……";
      Changed();
      break;
    case kStatusUpdating:
      state_.lblHint.text = "正在更新［" + app + "］……";
      state_.lblRate = {"0%", true};
      state_.shpRateWidth = 0;
      state_.shpRateVisible = true;
      Changed();
      break;
    case kStatusCurrent:
      state_.lblHint.text = "［" + app + "］已经是最新版本。";
      Changed();
      btnCloseClick();
      break;
    case kStatusFinished:
      state_.lblHint.text = "更新［" + app + "］完成。";
      Changed();
      btnCloseClick();
      break;
    default:
      break;
  }
}

void TfrmUpMain::WMUpdateProgress(std::int32_t done, std::int32_t total) {
  if (total <= 0) return;
  state_.lblRate.text = std::to_string(Mul32(done, 100) / total) + "%";
  state_.shpRateWidth = Mul32(layout::kRateFullWidth, done) / total;
  Changed();
}

void TfrmUpMain::btnCloseClick() {
  if (FParams.AppName == "ZEPRA") FParams.ClientExe = engine::FolderOf(programPath_) + "ZEPRA.exe";
  processes_.Start(ClientProgramPath(), BuildClientCommand(), platform::SwShowNormal);
  FCanClose = true;
  if (host_) host_->Close();
}

std::string TfrmUpMain::BuildClientCommand() const {
  const TParamsRec& p = FParams;
  std::string cmd = ProgramWord(p.ClientExe);
  cmd += Quoted(p.AppName == "ZEPRA" ? p.UserId2 : "[" + p.UserId + "]");
  for (const std::string* field : {&p.AppCode, &p.WorkDate, &p.Extra1, &p.Extra2, &p.Extra3, &p.Extra4,
                                   &p.ServerUrl, &p.ServerPort}) {
    cmd += Quoted(*field);
  }
  cmd += Quoted(" ");
  cmd += Quoted("HTTP");
  cmd += Quoted(" ");
  return cmd;
}

std::string TfrmUpMain::ClientProgramPath() const {
  const std::string& exe = FParams.ClientExe;
  if (exe.empty() || platform::IsFullPath(exe)) return exe;
  // A bare name means a program beside the updater, as the system's own
  // search would have found first; nothing else is searched.
  std::string path = engine::JoinPath(engine::FolderOf(programPath_), exe);
  if (engine::NameOf(path).find('.') == std::string::npos) path += ".exe";
  return path;
}

void TfrmUpMain::Changed() {
  if (host_) host_->Invalidate();
}

}  // namespace app
