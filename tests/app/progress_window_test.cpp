#include "app/progress_window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>

#include "app/window_layout.h"
#include "engine/trace_file.h"
#include "platform/codepage.h"
#include "platform/os_error.h"
#include "support/platform/fakes.h"
#include "support/platform/sandbox.h"

namespace {
using app::FormState;
using app::ProgressWindow;
using app::Status;
using testing_support::RecordingMessageBox;
using testing_support::RecordingProcesses;

const std::string kProgram = "C:\\Zepra\\Update\\AutoUpdate.exe";
// The positional form writes no trace.
const engine::TraceFile kNoTrace("Q:\\nowhere\\AutoUpdate.exe");

class RecordingReport : public app::IProgressReport {
 public:
  void OnStatus(Status status) override { statuses.push_back(status); }
  void OnError(std::string text) override { errors.push_back(std::move(text)); }
  void OnRefusal(std::string text) override { errors.push_back(std::move(text)); }
  void OnProgress(std::int32_t, std::int32_t) override { ++progress; }
  std::vector<Status> statuses;
  std::vector<std::string> errors;
  int progress = 0;
};

class RecordingHost : public app::IWindowHost {
 public:
  explicit RecordingHost(ProgressWindow& form) : form_(form) {}
  void Invalidate() override { ++invalidated; }
  void Close() override {
    ++closeRequests;
    if (form_.MayClose()) closed = true;
  }
  app::IProgressReport& Report() override { return report; }
  int invalidated = 0;
  int closeRequests = 0;
  bool closed = false;
  RecordingReport report;

 private:
  ProgressWindow& form_;
};

app::Arguments Positional(const std::string& appName, const std::string& clientExe) {
  return {appName, "u1", "u2", "code", "20240607", "e1", "e2", "e3", "e4", "http://srv:81/upd/", "81", clientExe};
}

// A window created from a positional start, with its recorders.
struct Window {
  explicit Window(const std::string& appName = "Sales", const std::string& clientExe = "C:\\Sales\\sales.exe",
                  app::WorkerStarter worker = {})
      : form(processes, kNoTrace, kProgram, std::move(worker)), host(form) {
    form.AttachHost(&host);
    form.OnCreate(Positional(appName, clientExe), registry, boxes, "20000101");
  }
  RecordingProcesses processes;
  testing_support::FakeRegistry registry;
  RecordingMessageBox boxes;
  ProgressWindow form;
  RecordingHost host;
};

TEST(ProgressWindowState, InitialLook) {
  Window w;
  const FormState& s = w.form.State();
  EXPECT_EQ(s.hint, (app::LabelState{"正在更新……", true}));
  EXPECT_FALSE(s.error.visible);
  EXPECT_FALSE(s.percent.visible);
  EXPECT_FALSE(s.barVisible);
  EXPECT_FALSE(s.closeButtonVisible);
  EXPECT_FALSE(w.form.MayClose());
}

TEST(ProgressWindowStatus, HintTextPerReport) {
  struct Case {
    std::function<void(app::IProgressReport&)> report;
    const char* hint;
  };
  const Case cases[] = {
      {[](auto& r) { r.OnStatus(Status::Connecting); }, "正在连接服务器“http://srv:81/upd/”……"},
      {[](auto& r) { r.OnStatus(Status::Checking); }, "正在检查［Sales］最新版本……"},
      {[](auto& r) { r.OnStatus(Status::Updating); }, "正在更新［Sales］……"},
      {[](auto& r) { r.OnStatus(Status::Current); }, "［Sales］已经是最新版本。"},
      {[](auto& r) { r.OnStatus(Status::Finished); }, "更新［Sales］完成。"},
      {[](auto& r) { r.OnStatus(Status::Waiting); }, "另一个更新程序正在运行，正在等待它结束……"},
      {[](auto& r) { r.OnError("boom"); }, "无法从“http://srv:81/upd/”更新［Sales］。"},
      {[](auto& r) { r.OnRefusal("boom"); }, "本次没有更新［Sales］。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hint);
    Window w;
    c.report(w.form);
    EXPECT_EQ(w.form.State().hint, (app::LabelState{c.hint, true}));
    EXPECT_GT(w.host.invalidated, 0);
  }
}

// Only the error and the refusal show the error text and the button.
TEST(ProgressWindowStatus, StagesLeaveTheErrorHidden) {
  for (Status status : {Status::Waiting, Status::Connecting, Status::Checking, Status::Updating}) {
    SCOPED_TRACE(static_cast<int>(status));
    Window w;
    w.form.OnStatus(status);
    EXPECT_FALSE(w.form.State().error.visible);
    EXPECT_FALSE(w.form.State().closeButtonVisible);
    EXPECT_TRUE(w.processes.started.empty());
    EXPECT_FALSE(w.form.MayClose());
  }
}

TEST(ProgressWindowStatus, UpdatingShowsEmptyBarAndZeroPercent) {
  Window w;
  w.form.OnProgress(3, 4);  // before status 3: hidden components change
  EXPECT_FALSE(w.form.State().barVisible);
  EXPECT_EQ(w.form.State().percent.text, "75%");
  w.form.OnStatus(Status::Updating);
  const FormState& s = w.form.State();
  EXPECT_EQ(s.percent, (app::LabelState{"0%", true}));
  EXPECT_TRUE(s.barVisible);
  EXPECT_EQ(s.barWidth, 0);
}

TEST(ProgressWindowStatus, FailureShowsTextAndButtonAndKeepsTheBar) {
  Window w;
  w.form.OnStatus(Status::Updating);
  w.form.OnProgress(1, 4);
  w.form.OnError("第一行\r\nsecond line");
  const FormState& s = w.form.State();
  EXPECT_EQ(s.error, (app::LabelState{"第一行\r\nsecond line", true}));
  EXPECT_TRUE(s.closeButtonVisible);
  EXPECT_TRUE(s.barVisible);
  EXPECT_EQ(s.barWidth, 107);
  EXPECT_EQ(s.percent, (app::LabelState{"25%", true}));
  // The window waits for the user.
  EXPECT_TRUE(w.processes.started.empty());
  EXPECT_FALSE(w.form.MayClose());
  EXPECT_FALSE(w.host.closed);
}

// A refused server: the error state with the engine's text, and the client
// program, once the user closes the window, is given no address or port.
TEST(ProgressWindowStatus, RefusalShowsTheTextAndStartsTheClientWithoutTheServer) {
  Window w("ZEPRA", "");
  w.form.OnStatus(Status::Connecting);
  w.form.OnRefusal("您拒绝使用网页指定的更新服务器“srv:81”，本次没有更新。");
  const FormState& s = w.form.State();
  EXPECT_EQ(s.error, (app::LabelState{"您拒绝使用网页指定的更新服务器“srv:81”，本次没有更新。", true}));
  EXPECT_TRUE(s.closeButtonVisible);
  EXPECT_TRUE(w.processes.started.empty());
  EXPECT_FALSE(w.form.MayClose());
  w.form.CloseAndStartClient();
  ASSERT_EQ(w.processes.started.size(), 1u);
  EXPECT_EQ(w.processes.started[0].commandLine,
            "C:\\Zepra\\Update\\ZEPRA.exe \"u2\" \"code\" \"20240607\" \"e1\" \"e2\" \"e3\" \"e4\" "
            "\"\" \"\" \" \" \"HTTP\" \" \"");
  EXPECT_TRUE(w.host.closed);
}

TEST(ProgressWindowStatus, FailureWithoutTextShowsAnEmptyError) {
  Window w;
  w.form.OnError("");
  EXPECT_EQ(w.form.State().error, (app::LabelState{"", true}));
}

TEST(ProgressWindowStatus, CurrentAndFinishedRunTheCloseAction) {
  for (Status status : {Status::Current, Status::Finished}) {
    SCOPED_TRACE(static_cast<int>(status));
    Window w;
    w.form.OnStatus(status);
    ASSERT_EQ(w.processes.started.size(), 1u);
    EXPECT_EQ(w.processes.started[0].commandLine, w.form.BuildClientCommand());
    EXPECT_EQ(w.processes.started[0].showMode, 1);
    EXPECT_FALSE(w.processes.started[0].waited);
    EXPECT_TRUE(w.host.closed);
  }
}

TEST(ProgressWindowProgress, PercentAndFillWidth) {
  struct Case {
    std::int32_t done, total;
    const char* percent;
    std::int32_t width;
  };
  const Case cases[] = {
      {0, 4, "0%", 0},
      {1, 4, "25%", 107},
      {2, 4, "50%", 215},
      {3, 4, "75%", 323},
      {4, 4, "100%", 431},
      {3, 3, "100%", 431},
      {1, 3, "33%", 143},
      {2, 3, "66%", 287},
      {5, 4, "125%", 538},
      {-1, 4, "-25%", -107},  // truncation toward zero
      {-1, 3, "-33%", -143},
      // 32-bit products wrap: 21474837 * 100 = 2147483700 > 2^31 - 1.
      {21474837, 21474837, "-99%", 31},
      {10000000, 10000000, "100%", 1},  // 431 * 10^7 wraps as well
      // 431 * 5000000 wraps to -2139967296.
      {5000000, 5000000, "100%", -427},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.done) + "/" + std::to_string(c.total));
    Window w;
    w.form.OnStatus(Status::Updating);
    w.form.OnProgress(c.done, c.total);
    EXPECT_EQ(w.form.State().percent.text, c.percent);
    EXPECT_EQ(w.form.State().barWidth, c.width);
  }
}

TEST(ProgressWindowProgress, NonPositiveTotalChangesNothing) {
  for (std::int32_t total : {0, -1, -4, std::numeric_limits<std::int32_t>::min()}) {
    SCOPED_TRACE(total);
    Window w;
    w.form.OnStatus(Status::Updating);
    w.form.OnProgress(1, 4);
    const FormState before = w.form.State();
    const int invalidated = w.host.invalidated;
    w.form.OnProgress(1, total);
    EXPECT_EQ(w.form.State(), before);
    EXPECT_EQ(w.host.invalidated, invalidated);
  }
}

TEST(ProgressWindowClose, RefusedUntilTheCloseAction) {
  Window w;
  w.host.Close();
  EXPECT_FALSE(w.host.closed);
  for (Status status : {Status::Connecting, Status::Checking, Status::Updating}) w.form.OnStatus(status);
  w.form.OnError("x");
  w.host.Close();
  EXPECT_FALSE(w.host.closed);
  w.form.CloseAndStartClient();
  EXPECT_TRUE(w.form.MayClose());
  EXPECT_TRUE(w.host.closed);
  ASSERT_EQ(w.processes.started.size(), 1u);
}

TEST(ProgressWindowClose, FailedClientStartClosesAllTheSame) {
  Window w;
  w.processes.startSucceeds = false;
  w.form.OnError("x");
  w.form.CloseAndStartClient();
  EXPECT_TRUE(w.host.closed);
}

TEST(BuildClientCommand, OtherApplication) {
  Window w("Sales", "C:\\Sales\\sales.exe");
  EXPECT_EQ(w.form.BuildClientCommand(),
            "C:\\Sales\\sales.exe \"[u1]\" \"code\" \"20240607\" \"e1\" \"e2\" \"e3\" \"e4\" "
            "\"http://srv:81/upd/\" \"81\" \" \" \"HTTP\" \" \"");
}

TEST(BuildClientCommand, EmptyClientExeStartsWithABlank) {
  Window w("Sales", "");
  EXPECT_EQ(w.form.BuildClientCommand().substr(0, 7), " \"[u1]\"");
}

// The client program's own values come back to it byte for byte, each in
// quotes with nothing escaped; a program path with a blank is quoted.
TEST(BuildClientCommand, EachValueInQuotesWithItsBytesUnchanged) {
  struct Case {
    const char* clientExe;
    const char* userId;
    const char* appCode;
    const char* expectedStart;
  };
  const Case cases[] = {
      {"c.exe", "u1", "code", "c.exe \"[u1]\" \"code\" \"2024"},
      {"c.exe", "a\"b", "x", "c.exe \"[a\"b]\" \"x\" \"2024"},
      {"c.exe", "u", "x\\", "c.exe \"[u]\" \"x\\\" \"2024"},          // one backslash stays one
      {"c.exe", "u", "x\\\"", "c.exe \"[u]\" \"x\\\"\" \"2024"},
      {"c.exe", "u", "a\\b", "c.exe \"[u]\" \"a\\b\" \"2024"},
      {"c.exe", "u", "C:\\dir\\", "c.exe \"[u]\" \"C:\\dir\\\" \"2024"},
      {"D:\\ERP Client\\c.exe", "u", "x", "\"D:\\ERP Client\\c.exe\" \"[u]\" \"x\" \"2024"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expectedStart);
    RecordingProcesses processes;
    testing_support::FakeRegistry registry;
    RecordingMessageBox boxes;
    app::Arguments args = Positional("Sales", c.clientExe);
    args[1] = c.userId;
    args[3] = c.appCode;
    ProgressWindow form(processes, kNoTrace, kProgram);
    form.OnCreate(args, registry, boxes, "20000101");
    const std::string expected = c.expectedStart;
    EXPECT_EQ(form.BuildClientCommand().substr(0, expected.size()), expected);
  }
}

TEST(CloseAction, TheClientIsStartedByItsFullPath) {
  struct Case {
    const char* clientExe;
    const char* program;
  };
  const Case cases[] = {
      {"C:\\Sales\\sales.exe", "C:\\Sales\\sales.exe"},
      {"D:\\ERP Client\\ZEPRA.exe", "D:\\ERP Client\\ZEPRA.exe"},
      {"\\\\srv\\share\\c.exe", "\\\\srv\\share\\c.exe"},
      // A bare name is the file beside the updater, never one searched for.
      {"sales.exe", "C:\\Zepra\\Update\\sales.exe"},
      {"sales", "C:\\Zepra\\Update\\sales.exe"},
      {"bin\\sales.exe", "C:\\Zepra\\Update\\bin\\sales.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.clientExe);
    Window w("Sales", c.clientExe);
    w.form.CloseAndStartClient();
    ASSERT_EQ(w.processes.started.size(), 1u);
    EXPECT_EQ(w.processes.started[0].program, c.program);
    EXPECT_EQ(w.processes.started[0].commandLine, w.form.BuildClientCommand());
  }
}

TEST(CloseAction, ZepraIsStartedFromTheUpdatersFolder) {
  Window w("ZEPRA", "D:\\elsewhere\\other.exe");
  w.form.OnError("x");
  w.form.CloseAndStartClient();
  ASSERT_EQ(w.processes.started.size(), 1u);
  EXPECT_EQ(w.processes.started[0].commandLine,
            "C:\\Zepra\\Update\\ZEPRA.exe \"u2\" \"code\" \"20240607\" \"e1\" \"e2\" \"e3\" \"e4\" "
            "\"http://srv:81/upd/\" \"81\" \" \" \"HTTP\" \" \"");
  EXPECT_EQ(w.form.Params().clientExe, "C:\\Zepra\\Update\\ZEPRA.exe");
  EXPECT_EQ(w.processes.started[0].program, "C:\\Zepra\\Update\\ZEPRA.exe");
}

TEST(CloseAction, ApplicationNameMustMatchExactly) {
  Window w("zepra", "C:\\z.exe");
  w.form.CloseAndStartClient();
  EXPECT_EQ(w.processes.started.at(0).commandLine.substr(0, 18), "C:\\z.exe \"[u1]\" \"c");
}

TEST(OnFirstShown, RegFirstClosesWithoutWorker) {
  int workers = 0;
  app::Arguments args = Positional("REG", "c.exe");
  RecordingProcesses processes;
  testing_support::FakeRegistry registry;
  RecordingMessageBox boxes;
  ProgressWindow form(processes, kNoTrace, kProgram,
                      [&](const app::LaunchParams&, app::IProgressReport&) { ++workers; });
  RecordingHost host(form);
  form.AttachHost(&host);
  form.OnCreate(args, registry, boxes, "20000101");
  EXPECT_TRUE(registry.writes.empty());  // positional form: no registration
  EXPECT_FALSE(form.EndRequested());
  form.OnFirstShown();
  EXPECT_EQ(workers, 0);
  EXPECT_TRUE(host.closed);
  EXPECT_TRUE(processes.started.empty());
}

TEST(OnFirstShown, StartsTheWorkerWithACopyOfTheParameters) {
  app::LaunchParams seen;
  app::IProgressReport* report = nullptr;
  Window w("Sales", "c.exe", [&](const app::LaunchParams& p, app::IProgressReport& r) {
    seen = p;
    report = &r;
    r.OnStatus(Status::Connecting);
  });
  w.form.OnFirstShown();
  EXPECT_EQ(seen, w.form.Params());
  EXPECT_EQ(report, &w.host.report);
  EXPECT_EQ(w.host.report.statuses, std::vector<Status>{Status::Connecting});
  EXPECT_FALSE(w.host.closed);
}

TEST(OnFirstShown, WithoutWorkerNothingHappens) {
  Window w;
  w.form.OnFirstShown();
  EXPECT_FALSE(w.host.closed);
  EXPECT_EQ(w.host.closeRequests, 0);
}

// A window of an updater in a folder of its own, whose trace is written
// there, not yet created.
class OnCreate : public ::testing::Test {
 protected:
  testing_support::Sandbox box;
  RecordingProcesses processes;
  testing_support::FakeRegistry registry;
  RecordingMessageBox boxes;
  const engine::TraceFile trace{box.programPath()};
  ProgressWindow form{processes, trace, box.programPath()};
};

TEST_F(OnCreate, RegistrationStartRegistersAndAsksToEnd) {
  form.OnCreate({"REG"}, registry, boxes, "20000101");
  EXPECT_TRUE(form.EndRequested());
  ASSERT_EQ(registry.writes.size(), 3u);
  EXPECT_EQ(registry.writes[1].data, "\"" + box.programPath() + "\" \"%1\"");
  EXPECT_TRUE(boxes.shown.empty());
  // The URL reading still runs.
  EXPECT_EQ(form.Params().appName, "ZEPRA");
  EXPECT_FALSE(form.MayClose());
}

TEST_F(OnCreate, ErrorsAreShownAndStartUpGoesOn) {
  box.mkdirs("Client\\Update\\debug.ini");  // the trace file cannot be written
  form.OnCreate({"ZEPRA:?url=http://h:7/"}, registry, boxes, "20000101");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Unable to write to " + trace.path() + ".");
  EXPECT_EQ(boxes.shown[0].caption, app::kApplicationTitle);
  EXPECT_EQ(boxes.shown[0].flags, 0x10u);
  // The fields read before the failed write are kept; the port is not.
  EXPECT_EQ(form.Params().appName, "ZEPRA");
  EXPECT_EQ(form.Params().serverUrl, "http://h:7/");
  EXPECT_EQ(form.Params().serverPort, "");
  EXPECT_FALSE(form.EndRequested());
}

TEST_F(OnCreate, TheUrlFormTracesItsPortLookup) {
  form.OnCreate({"ZEPRA:?url=http://127.0.0.1:8123/upd/"}, registry, boxes, "20000101");
  EXPECT_EQ(box.read("Client\\Update\\debug.ini"),
            platform::Utf8ToAnsi("[debug]\r\n取端口-url=http://127.0.0.1:8123/upd/\r\n取端口=8123\r\n"));
  EXPECT_EQ(form.Params().serverPort, "8123");
  EXPECT_TRUE(boxes.shown.empty());
}

TEST(ErrorBoxText, FullStopRule) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""}, {"Failed", "Failed."}, {"Done.", "Done."}, {"Sure!", "Sure!"}, {"a -", "a -"}, {"中", "中."},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(app::ErrorBoxText(in), out) << in;
}

}  // namespace
