#include "app/progress_window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "app/window_layout.h"
#include "engine/trace_file.h"
#include "platform/os_error.h"
#include "support/fakes.h"
#include "support/sandbox.h"

namespace {
using app::FormState;
using app::TfrmUpMain;
using testing_support::RecordingMessageBox;
using testing_support::RecordingProcesses;

const std::string kProgram = "C:\\Zepra\\Update\\AutoUpdate.exe";

class RecordingSink : public app::IStatusSink {
 public:
  void PostStatus(int code) override { statuses.push_back(code); }
  void PostError(std::string_view text) override { errors.emplace_back(text); }
  void PostProgress(std::int32_t, std::int32_t) override { ++progress; }
  std::vector<int> statuses;
  std::vector<std::string> errors;
  int progress = 0;
};

class RecordingHost : public app::IFormHost {
 public:
  explicit RecordingHost(TfrmUpMain& form) : form_(form) {}
  void Invalidate() override { ++invalidated; }
  void Close() override {
    ++closeRequests;
    if (form_.FormCloseQuery()) closed = true;
  }
  app::IStatusSink& StatusSink() override { return sink; }
  int invalidated = 0;
  int closeRequests = 0;
  bool closed = false;
  RecordingSink sink;

 private:
  TfrmUpMain& form_;
};

app::Arguments Positional(const std::string& appName, const std::string& clientExe) {
  return {appName, "u1", "u2", "code", "20240607", "e1", "e2", "e3", "e4", "http://srv:81/upd/", "81", clientExe};
}

// A window created from a positional start, with its recorders.
struct Window {
  explicit Window(const std::string& appName = "Sales", const std::string& clientExe = "C:\\Sales\\sales.exe",
                  app::WorkerStarter worker = {})
      : form(processes, kProgram, std::move(worker)), host(form) {
    form.AttachHost(&host);
    form.FormCreate(Positional(appName, clientExe), registry, boxes, "20000101");
  }
  void Status(std::uintptr_t code, const char* error = nullptr) {
    form.WMUpdateStatus(code, reinterpret_cast<std::intptr_t>(error ? app::NewStatusText(error) : nullptr));
  }
  RecordingProcesses processes;
  testing_support::FakeRegistry registry;
  RecordingMessageBox boxes;
  TfrmUpMain form;
  RecordingHost host;
};

TEST(ProgressWindowState, InitialLook) {
  Window w;
  const FormState& s = w.form.State();
  EXPECT_EQ(s.lblHint, (app::LabelState{"正在更新……", true}));
  EXPECT_FALSE(s.lblError.visible);
  EXPECT_FALSE(s.lblRate.visible);
  EXPECT_FALSE(s.shpRateVisible);
  EXPECT_FALSE(s.btnCloseVisible);
  EXPECT_FALSE(w.form.FormCloseQuery());
}

TEST(ProgressWindowStatus, HintTextPerCode) {
  struct Case {
    std::uintptr_t code;
    const char* hint;
  };
  const Case cases[] = {
      {1, "正在连接服务器“http://srv:81/upd/”……"},
      {2, "正在检查［Sales］最新版本……"},
      {3, "正在更新［Sales］……"},
      {4, "［Sales］已经是最新版本。"},
      {9, "更新［Sales］完成。"},
      {0, "无法从“http://srv:81/upd/”更新［Sales］。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    Window w;
    w.Status(c.code, c.code == 0 ? "boom" : nullptr);
    EXPECT_EQ(w.form.State().lblHint, (app::LabelState{c.hint, true}));
    EXPECT_GT(w.host.invalidated, 0);
  }
}

TEST(ProgressWindowStatus, OtherCodesChangeNothing) {
  for (std::uintptr_t code : {5u, 6u, 7u, 8u, 10u, 100u, 1125u}) {
    SCOPED_TRACE(code);
    Window w;
    w.Status(3);
    w.form.WMUpdateProgress(1, 4);
    const FormState before = w.form.State();
    w.Status(code);
    EXPECT_EQ(w.form.State(), before);
    EXPECT_TRUE(w.processes.started.empty());
    EXPECT_FALSE(w.form.FormCloseQuery());
  }
  Window w;
  w.Status(std::numeric_limits<std::uintptr_t>::max());
  EXPECT_EQ(w.form.State(), FormState{});
}

TEST(ProgressWindowStatus, UpdatingShowsEmptyBarAndZeroPercent) {
  Window w;
  w.form.WMUpdateProgress(3, 4);  // before status 3: hidden components change
  EXPECT_FALSE(w.form.State().shpRateVisible);
  EXPECT_EQ(w.form.State().lblRate.text, "75%");
  w.Status(3);
  const FormState& s = w.form.State();
  EXPECT_EQ(s.lblRate, (app::LabelState{"0%", true}));
  EXPECT_TRUE(s.shpRateVisible);
  EXPECT_EQ(s.shpRateWidth, 0);
}

TEST(ProgressWindowStatus, FailureShowsTextAndButtonAndKeepsTheBar) {
  Window w;
  w.Status(3);
  w.form.WMUpdateProgress(1, 4);
  w.Status(0, "第一行\r\nsecond line");
  const FormState& s = w.form.State();
  EXPECT_EQ(s.lblError, (app::LabelState{"第一行\r\nsecond line", true}));
  EXPECT_TRUE(s.btnCloseVisible);
  EXPECT_TRUE(s.shpRateVisible);
  EXPECT_EQ(s.shpRateWidth, 107);
  EXPECT_EQ(s.lblRate, (app::LabelState{"25%", true}));
  // The window waits for the user.
  EXPECT_TRUE(w.processes.started.empty());
  EXPECT_FALSE(w.form.FormCloseQuery());
  EXPECT_FALSE(w.host.closed);
}

TEST(ProgressWindowStatus, FailureWithoutTextShowsAnEmptyError) {
  Window w;
  w.Status(0);
  EXPECT_EQ(w.form.State().lblError, (app::LabelState{"", true}));
}

TEST(ProgressWindowStatus, CurrentAndFinishedRunTheCloseAction) {
  for (std::uintptr_t code : {4u, 9u}) {
    SCOPED_TRACE(code);
    Window w;
    w.Status(code);
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
    w.Status(3);
    w.form.WMUpdateProgress(c.done, c.total);
    EXPECT_EQ(w.form.State().lblRate.text, c.percent);
    EXPECT_EQ(w.form.State().shpRateWidth, c.width);
  }
}

TEST(ProgressWindowProgress, NonPositiveTotalChangesNothing) {
  for (std::int32_t total : {0, -1, -4, std::numeric_limits<std::int32_t>::min()}) {
    SCOPED_TRACE(total);
    Window w;
    w.Status(3);
    w.form.WMUpdateProgress(1, 4);
    const FormState before = w.form.State();
    const int invalidated = w.host.invalidated;
    w.form.WMUpdateProgress(1, total);
    EXPECT_EQ(w.form.State(), before);
    EXPECT_EQ(w.host.invalidated, invalidated);
  }
}

TEST(ProgressWindowClose, RefusedUntilTheCloseAction) {
  Window w;
  w.host.Close();
  EXPECT_FALSE(w.host.closed);
  for (std::uintptr_t code : {1u, 2u, 3u, 0u}) w.Status(code, code == 0 ? "x" : nullptr);
  w.host.Close();
  EXPECT_FALSE(w.host.closed);
  w.form.btnCloseClick();
  EXPECT_TRUE(w.form.FormCloseQuery());
  EXPECT_TRUE(w.host.closed);
  ASSERT_EQ(w.processes.started.size(), 1u);
}

TEST(ProgressWindowClose, FailedClientStartClosesAllTheSame) {
  Window w;
  w.processes.startSucceeds = false;
  w.Status(0, "x");
  w.form.btnCloseClick();
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

// Values the client's argument parsing must read back exactly: a quote inside
// is escaped, backslashes before a quote or the closing quote are doubled,
// and a program path with a blank is quoted. Ordinary values keep their bytes.
TEST(BuildClientCommand, QuotesSoThatTheClientReadsBackEveryValue) {
  struct Case {
    const char* clientExe;
    const char* userId;
    const char* appCode;
    const char* expectedStart;
  };
  const Case cases[] = {
      {"c.exe", "u1", "code", "c.exe \"[u1]\" \"code\" \"2024"},
      {"c.exe", "a\"b", "x", "c.exe \"[a\\\"b]\" \"x\" \"2024"},
      {"c.exe", "u", "x\\", "c.exe \"[u]\" \"x\\\\\" \"2024"},         // x\ -> "x\\"
      {"c.exe", "u", "x\\\"", "c.exe \"[u]\" \"x\\\\\\\"\" \"2024"},  // x\" -> "x\\\""
      {"c.exe", "u", "a\\b", "c.exe \"[u]\" \"a\\b\" \"2024"},          // inner backslash kept
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
    TfrmUpMain form(processes, kProgram);
    form.FormCreate(args, registry, boxes, "20000101");
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
    w.form.btnCloseClick();
    ASSERT_EQ(w.processes.started.size(), 1u);
    EXPECT_EQ(w.processes.started[0].program, c.program);
    EXPECT_EQ(w.processes.started[0].commandLine, w.form.BuildClientCommand());
  }
}

TEST(CloseAction, ZepraIsStartedFromTheUpdatersFolder) {
  Window w("ZEPRA", "D:\\elsewhere\\other.exe");
  w.Status(0, "x");
  w.form.btnCloseClick();
  ASSERT_EQ(w.processes.started.size(), 1u);
  EXPECT_EQ(w.processes.started[0].commandLine,
            "C:\\Zepra\\Update\\ZEPRA.exe \"u2\" \"code\" \"20240607\" \"e1\" \"e2\" \"e3\" \"e4\" "
            "\"http://srv:81/upd/\" \"81\" \" \" \"HTTP\" \" \"");
  EXPECT_EQ(w.form.Params().ClientExe, "C:\\Zepra\\Update\\ZEPRA.exe");
  EXPECT_EQ(w.processes.started[0].program, "C:\\Zepra\\Update\\ZEPRA.exe");
}

TEST(CloseAction, ApplicationNameMustMatchExactly) {
  Window w("zepra", "C:\\z.exe");
  w.form.btnCloseClick();
  EXPECT_EQ(w.processes.started.at(0).commandLine.substr(0, 18), "C:\\z.exe \"[u1]\" \"c");
}

TEST(FormShow, RegFirstClosesWithoutWorker) {
  int workers = 0;
  app::Arguments args = Positional("REG", "c.exe");
  RecordingProcesses processes;
  testing_support::FakeRegistry registry;
  RecordingMessageBox boxes;
  TfrmUpMain form(processes, kProgram, [&](const app::TParamsRec&, app::IStatusSink&) { ++workers; });
  RecordingHost host(form);
  form.AttachHost(&host);
  form.FormCreate(args, registry, boxes, "20000101");
  EXPECT_TRUE(registry.writes.empty());  // positional form: no registration
  EXPECT_FALSE(form.TerminateRequested());
  form.FormShow();
  EXPECT_EQ(workers, 0);
  EXPECT_TRUE(host.closed);
  EXPECT_TRUE(processes.started.empty());
}

TEST(FormShow, StartsTheWorkerWithACopyOfTheParameters) {
  app::TParamsRec seen;
  app::IStatusSink* sink = nullptr;
  Window w("Sales", "c.exe", [&](const app::TParamsRec& p, app::IStatusSink& s) {
    seen = p;
    sink = &s;
    s.PostStatus(1);
  });
  w.form.FormShow();
  EXPECT_EQ(seen, w.form.Params());
  EXPECT_EQ(sink, &w.host.sink);
  EXPECT_EQ(w.host.sink.statuses, std::vector<int>{1});
  EXPECT_FALSE(w.host.closed);
}

TEST(FormShow, WithoutWorkerNothingHappens) {
  Window w;
  w.form.FormShow();
  EXPECT_FALSE(w.host.closed);
  EXPECT_EQ(w.host.closeRequests, 0);
}

TEST(FormCreate, RegistrationStartRegistersAndAsksToEnd) {
  testing_support::Sandbox box;
  RecordingProcesses processes;
  testing_support::FakeRegistry registry;
  RecordingMessageBox boxes;
  TfrmUpMain form(processes, box.programPath());
  form.FormCreate({"REG"}, registry, boxes, "20000101");
  EXPECT_TRUE(form.TerminateRequested());
  ASSERT_EQ(registry.writes.size(), 3u);
  EXPECT_EQ(registry.writes[1].data, "\"" + box.programPath() + "\" \"%1\"");
  EXPECT_TRUE(boxes.shown.empty());
  // The URL reading still runs.
  EXPECT_EQ(form.Params().AppName, "ZEPRA");
  EXPECT_FALSE(form.FormCloseQuery());
}

TEST(FormCreate, ErrorsAreShownAndStartUpGoesOn) {
  testing_support::Sandbox box;
  box.mkdirs("Client\\Update\\debug.ini");  // the trace file cannot be written
  RecordingProcesses processes;
  testing_support::FakeRegistry registry;
  RecordingMessageBox boxes;
  TfrmUpMain form(processes, box.programPath());
  form.FormCreate({"ZEPRA:?url=http://h:7/"}, registry, boxes, "20000101");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Unable to write to " + engine::TraceFilePath() + ".");
  EXPECT_EQ(boxes.shown[0].caption, app::kApplicationTitle);
  EXPECT_EQ(boxes.shown[0].flags, 0x10u);
  EXPECT_EQ(form.Params().ServerUrl, "http://h:7/");
  EXPECT_FALSE(form.TerminateRequested());
}

TEST(ErrorBoxText, FullStopRule) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""}, {"Failed", "Failed."}, {"Done.", "Done."}, {"Sure!", "Sure!"}, {"a -", "a -"}, {"中", "中."},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(app::ErrorBoxText(in), out) << in;
}

}  // namespace
