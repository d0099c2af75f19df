#include "main_window.h"

#include <string>

#include "app/window_layout.h"
#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace shell {
namespace {
namespace layout = app::layout;
using platform::win32::UniqueHandle;
using platform::win32::Widen;

// Posted to ourselves once the window has been shown.
constexpr UINT kFormShow = WM_APP + 1;

struct GdiObjectTraits {
  using type = HGDIOBJ;
  static bool valid(HGDIOBJ h) { return h != nullptr; }
  static void close(HGDIOBJ h) { DeleteObject(h); }
};
using GdiObject = UniqueHandle<GdiObjectTraits>;

struct MemoryDcTraits {
  using type = HDC;
  static bool valid(HDC h) { return h != nullptr; }
  static void close(HDC h) { DeleteDC(h); }
};
using MemoryDc = UniqueHandle<MemoryDcTraits>;

// Selects an object into a device context for one scope.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~Selected() { SelectObject(dc_, old_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

COLORREF Colour(layout::Rgb c) { return RGB(c.r, c.g, c.b); }

int CALLBACK NoteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FontInstalled(HDC dc, const std::wstring& face) {
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  face.copy(lf.lfFaceName, LF_FACESIZE - 1);
  bool found = false;
  EnumFontFamiliesExW(dc, &lf, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

// The window's font where it is installed, else the nearest Chinese UI font
// that is; with none of them the font mapper picks one for the GB2312 set.
std::wstring PickFontFace() {
  const std::wstring candidates[] = {Widen(layout::kFontFace), L"Microsoft YaHei", L"WenQuanYi Micro Hei",
                                     L"文泉驿微米黑", L"SimHei", L"SimSun", L"宋体"};
  HDC screen = GetDC(nullptr);
  std::wstring chosen = candidates[0];
  for (const std::wstring& face : candidates) {
    if (FontInstalled(screen, face)) {
      chosen = face;
      break;
    }
  }
  ReleaseDC(nullptr, screen);
  return chosen;
}

GdiObject MakeFont(const std::wstring& face, int pixelHeight, int weight = FW_NORMAL) {
  LOGFONTW lf{};
  lf.lfHeight = -pixelHeight;  // character height, without internal leading
  lf.lfWeight = weight;
  lf.lfCharSet = GB2312_CHARSET;
  lf.lfQuality = ANTIALIASED_QUALITY;
  face.copy(lf.lfFaceName, LF_FACESIZE - 1);
  return GdiObject(CreateFontIndirectW(&lf));
}

void Fill(HDC dc, RECT r, COLORREF colour) {
  GdiObject brush(CreateSolidBrush(colour));
  FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
}

RECT RectOf(layout::Rect r) { return {r.left, r.top, r.left + r.width, r.top + r.height}; }

// A transparent label that sizes itself to its text; line breaks start new lines.
void DrawLabel(HDC dc, HGDIOBJ font, int left, int top, const std::string& text) {
  Selected use(dc, font);
  RECT r{left, top, layout::kClientWidth, layout::kClientHeight};
  const std::wstring w = Widen(text);
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_EXPANDTABS | DT_NOCLIP);
}

}  // namespace

struct MainWindow::Resources {
  GdiObject hintFont, errorFont, rateFont, buttonFont;
};

void WindowStatusSink::PostStatus(app::Status status) {
  PostMessageW(window_, app::kUpdateStatusMessage, static_cast<WPARAM>(status), 0);
}

void WindowStatusSink::PostError(std::string_view text) {
  char* block = app::NewStatusText(text);
  if (!PostMessageW(window_, app::kUpdateStatusMessage, static_cast<WPARAM>(app::Status::Failed), reinterpret_cast<LPARAM>(block))) {
    app::FreeStatusText(block);  // nobody will receive it
  }
}

void WindowStatusSink::PostProgress(std::int32_t done, std::int32_t total) {
  // Sign-extended into the wider parameters of a 64-bit build; the window
  // reads them back as 32-bit values.
  PostMessageW(window_, app::kUpdateProgressMessage, static_cast<WPARAM>(static_cast<LPARAM>(done)),
               static_cast<LPARAM>(total));
}

MainWindow::MainWindow(app::ProgressWindow& form) : form_(form) { form_.AttachHost(this); }

MainWindow::~MainWindow() {
  form_.AttachHost(nullptr);
  if (window_) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

void MainWindow::Create() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const std::wstring className = Widen(layout::kWindowClass);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = className.c_str();
  RegisterClassExW(&wc);  // a second window of the class finds it registered

  const std::wstring face = PickFontFace();
  resources_ = std::make_unique<Resources>();
  resources_->hintFont = MakeFont(face, layout::kHintFontHeight);
  resources_->errorFont = MakeFont(face, layout::kErrorFontHeight);
  resources_->rateFont = MakeFont(face, layout::kRateFontHeight);
  resources_->buttonFont = MakeFont(face, layout::kDefaultFontHeight, FW_BOLD);

  const int x = (GetSystemMetrics(SM_CXSCREEN) - layout::kClientWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - layout::kClientHeight) / 2;
  window_ = CreateWindowExW(WS_EX_APPWINDOW, className.c_str(), Widen(layout::kCaption).c_str(),
                            WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, x, y, layout::kClientWidth,
                            layout::kClientHeight, nullptr, nullptr, instance, this);
  sink_ = std::make_unique<WindowStatusSink>(window_);
}

void MainWindow::Show(int showCommand) {
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  // The worker starts once the window is up, whatever the show command: a
  // hidden start gets no show message at all.
  if (!shown_) {
    shown_ = true;
    PostMessageW(window_, kFormShow, 0, 0);
  }
}

void MainWindow::Invalidate() {
  if (!window_) return;
  InvalidateRect(window_, nullptr, FALSE);
  // The error state waits for a click: a window started hidden must be seen.
  if (form_.State().closeButtonVisible && !IsWindowVisible(window_)) ShowWindow(window_, SW_SHOWNORMAL);
}

void MainWindow::Close() {
  if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
}

app::IStatusSink& MainWindow::StatusSink() { return *sink_; }

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (self->window_ == nullptr) self->window_ = window;
  return self->Handle(message, wParam, lParam);
}

bool MainWindow::OnButton(LPARAM point) const {
  if (!form_.State().closeButtonVisible) return false;
  const POINT p{static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
  const RECT r = RectOf(layout::kCloseButton);
  return PtInRect(&r, p) != 0;
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case app::kUpdateStatusMessage:
      form_.OnStatus(static_cast<std::uintptr_t>(wParam), static_cast<std::intptr_t>(lParam));
      return 0;
    case app::kUpdateProgressMessage:
      form_.OnProgress(static_cast<std::int32_t>(static_cast<std::uint32_t>(wParam)),
                             static_cast<std::int32_t>(static_cast<std::uint32_t>(lParam)));
      return 0;
    case kFormShow:
      form_.OnFirstShown();
      return 0;
    case WM_CLOSE:
      if (form_.MayClose()) DestroyWindow(window_);
      return 0;  // refused without a word
    case WM_QUERYENDSESSION:
      return form_.MayClose() ? TRUE : FALSE;
    case WM_DESTROY:
      SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    case WM_LBUTTONDOWN:
      buttonPressed_ = OnButton(lParam);
      if (buttonPressed_) SetCapture(window_);
      return 0;
    case WM_LBUTTONUP:
      if (buttonPressed_) {
        buttonPressed_ = false;
        ReleaseCapture();
        if (OnButton(lParam)) form_.CloseAndStartClient();
      }
      return 0;
    case WM_ERASEBKGND:
      return 1;  // everything is painted in WM_PAINT, off screen first
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window_, &ps);
      Paint(dc);
      EndPaint(window_, &ps);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

// Paints back to front into a bitmap, then copies it in one go.
void MainWindow::Paint(HDC target) {
  const app::FormState& s = form_.State();
  MemoryDc dc(CreateCompatibleDC(target));
  GdiObject bitmap(CreateCompatibleBitmap(target, layout::kClientWidth, layout::kClientHeight));
  Selected useBitmap(dc.get(), bitmap.get());
  HDC g = dc.get();

  // shpBackground: white outline around the grey fill.
  RECT all = RectOf(layout::kBackground);
  Fill(g, all, Colour(layout::kWhite));
  RECT inner{all.left + layout::kBackgroundOutline, all.top + layout::kBackgroundOutline,
             all.right - layout::kBackgroundOutline, all.bottom - layout::kBackgroundOutline};
  Fill(g, inner, Colour(layout::kBackgroundFill));

  if (s.barVisible && s.barWidth > 0) {
    RECT fill = RectOf({layout::kRate.left, layout::kRate.top, s.barWidth, layout::kRate.height});
    Fill(g, fill, Colour(layout::kRateFill));
  }

  SetBkMode(g, TRANSPARENT);
  SetTextColor(g, Colour(layout::kWhite));
  if (s.hint.visible) DrawLabel(g, resources_->hintFont.get(), layout::kHintLeft, layout::kHintTop, s.hint.text);
  if (s.percent.visible) {
    DrawLabel(g, resources_->rateFont.get(), layout::kRateLabelLeft, layout::kRateLabelTop, s.percent.text);
  }
  if (s.error.visible) {
    DrawLabel(g, resources_->errorFont.get(), layout::kErrorLeft, layout::kErrorTop, s.error.text);
  }

  if (s.closeButtonVisible) {
    // A flat picture button: blue face, rounded (transparent) corners, 确定 in white.
    RECT b = RectOf(layout::kCloseButton);
    GdiObject brush(CreateSolidBrush(Colour(layout::kCloseButtonFace)));
    GdiObject pen(CreatePen(PS_SOLID, 1, Colour(layout::kCloseButtonFace)));
    {
      Selected useBrush(g, brush.get());
      Selected usePen(g, pen.get());
      RoundRect(g, b.left, b.top, b.right, b.bottom, 8, 8);
    }
    Selected useFont(g, resources_->buttonFont.get());
    const std::wstring caption = Widen(layout::kCloseButtonText);
    DrawTextW(g, caption.c_str(), static_cast<int>(caption.size()), &b,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }

  BitBlt(target, 0, 0, layout::kClientWidth, layout::kClientHeight, g, 0, 0, SRCCOPY);
}

int RunProgressWindow(app::ProgressWindow& form, const app::Arguments& args, platform::IRegistry& registry,
                      platform::IMessageBox& messageBox, int showCommand) {
  MainWindow window(form);
  window.Create();
  if (window.handle() == nullptr) return 0;
  form.OnCreate(args, registry, messageBox, app::TodayWorkDate());
  if (form.EndRequested()) return 0;
  window.Show(showCommand);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

}  // namespace shell
