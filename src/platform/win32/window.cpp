#include "platform/window.h"

#include <windows.h>

#include <functional>
#include <map>
#include <utility>

#include "platform/os_error.h"
#include "platform/task_queue.h"
#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace platform {
namespace {
using win32::UniqueHandle;
using win32::Widen;

// Posted to ourselves once the window has been shown.
constexpr UINT kShown = WM_APP + 1;
// Tells the window that a task is waiting in its queue.
constexpr UINT kRunTask = WM_APP + 2;

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

COLORREF Colour(Rgb c) { return RGB(c.r, c.g, c.b); }
RECT RectOf(Rect r) { return {r.left, r.top, r.left + r.width, r.top + r.height}; }

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

// The first installed face; with none of them the font mapper picks one for
// the GB2312 set.
std::wstring PickFontFace(const std::vector<std::string>& faces) {
  if (faces.empty()) return {};
  HDC screen = GetDC(nullptr);
  std::wstring chosen = Widen(faces.front());
  for (const std::string& face : faces) {
    if (FontInstalled(screen, Widen(face))) {
      chosen = Widen(face);
      break;
    }
  }
  ReleaseDC(nullptr, screen);
  return chosen;
}

class GdiCanvas : public Canvas {
 public:
  GdiCanvas(HDC dc, std::function<HGDIOBJ(Font)> font) : dc_(dc), font_(std::move(font)) {
    SetBkMode(dc_, TRANSPARENT);
  }
  void Fill(Rect area, Rgb colour) override {
    const RECT r = RectOf(area);
    GdiObject brush(CreateSolidBrush(Colour(colour)));
    FillRect(dc_, &r, static_cast<HBRUSH>(brush.get()));
  }
  void FillRounded(Rect area, int cornerSize, Rgb colour) override {
    const RECT r = RectOf(area);
    GdiObject brush(CreateSolidBrush(Colour(colour)));
    GdiObject pen(CreatePen(PS_SOLID, 1, Colour(colour)));
    Selected useBrush(dc_, brush.get());
    Selected usePen(dc_, pen.get());
    RoundRect(dc_, r.left, r.top, r.right, r.bottom, cornerSize, cornerSize);
  }
  void Text(int left, int top, std::string_view text, Font font, Rgb colour) override {
    RECT r{left, top, 0x7FFF, 0x7FFF};
    Draw(text, font, colour, r, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_EXPANDTABS | DT_NOCLIP);
  }
  void CentredText(Rect area, std::string_view text, Font font, Rgb colour) override {
    RECT r = RectOf(area);
    Draw(text, font, colour, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }

 private:
  void Draw(std::string_view text, Font font, Rgb colour, RECT& r, UINT format) {
    Selected use(dc_, font_(font));
    SetTextColor(dc_, Colour(colour));
    const std::wstring w = Widen(text);
    DrawTextW(dc_, w.c_str(), static_cast<int>(w.size()), &r, format);
  }
  HDC dc_;
  std::function<HGDIOBJ(Font)> font_;
};

}  // namespace

struct Window::Impl {
  WindowEvents& events;
  WindowLook look;
  std::wstring fontFace;
  std::map<std::pair<int, bool>, GdiObject> fonts;
  TaskQueue tasks;  // one kRunTask message per task
  HWND window = nullptr;  // until WM_DESTROY
  HWND handle = nullptr;  // for posting from other threads: a post to a gone window fails
  bool shown = false;
  bool mouseCaptured = false;

  Impl(const WindowLook& s, WindowEvents& e) : events(e), look(s) {}

  HGDIOBJ FontFor(Font font) {
    GdiObject& slot = fonts[{font.pixelHeight, font.bold}];
    if (!slot) {
      LOGFONTW lf{};
      lf.lfHeight = -font.pixelHeight;
      lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
      lf.lfCharSet = GB2312_CHARSET;
      lf.lfQuality = ANTIALIASED_QUALITY;
      fontFace.copy(lf.lfFaceName, LF_FACESIZE - 1);
      slot.reset(CreateFontIndirectW(&lf));
    }
    return slot.get();
  }

  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Impl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    if (self->window == nullptr) self->window = window;
    return self->Handle(message, wParam, lParam);
  }

  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();
};

LRESULT Window::Impl::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kShown:
      events.OnShown();
      return 0;
    case kRunTask:
      // Whoever sent the message, the oldest task runs: the order stays.
      if (TaskQueue::Task task = tasks.Pop()) task();
      return 0;
    case WM_CLOSE:
      if (events.OnCloseRequest()) DestroyWindow(window);
      return 0;  // refused without a word
    case WM_QUERYENDSESSION:
      return events.OnCloseRequest() ? TRUE : FALSE;
    case WM_DESTROY:
      tasks.Close();
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      window = nullptr;
      PostQuitMessage(0);
      return 0;
    case WM_LBUTTONDOWN:
      mouseCaptured = events.OnMouseDown(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      if (mouseCaptured) SetCapture(window);
      return 0;
    case WM_LBUTTONUP:
      if (mouseCaptured) {
        mouseCaptured = false;
        ReleaseCapture();
        events.OnMouseUp(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      }
      return 0;
    case WM_ERASEBKGND:
      return 1;  // everything is painted in WM_PAINT, off screen first
    case WM_PAINT:
      Paint();
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Paints into a bitmap, then copies it in one go.
void Window::Impl::Paint() {
  PAINTSTRUCT ps;
  HDC target = BeginPaint(window, &ps);
  MemoryDc dc(CreateCompatibleDC(target));
  GdiObject bitmap(CreateCompatibleBitmap(target, look.width, look.height));
  {
    Selected useBitmap(dc.get(), bitmap.get());
    GdiCanvas canvas(dc.get(), [this](Font font) { return FontFor(font); });
    events.OnPaint(canvas);
    BitBlt(target, 0, 0, look.width, look.height, dc.get(), 0, 0, SRCCOPY);
  }
  EndPaint(window, &ps);
}

Window::Window(const WindowLook& look, WindowEvents& events) : impl_(std::make_unique<Impl>(look, events)) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const std::wstring className = Widen(look.className);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Impl::Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = className.c_str();
  RegisterClassExW(&wc);  // a second window of the class finds it registered
  impl_->fontFace = PickFontFace(look.fontFaces);
  const int x = (GetSystemMetrics(SM_CXSCREEN) - look.width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - look.height) / 2;
  HWND window = CreateWindowExW(WS_EX_APPWINDOW, className.c_str(), Widen(look.caption).c_str(),
                                WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, x, y, look.width, look.height, nullptr,
                                nullptr, instance, impl_.get());
  if (!window) {
    const std::string text = LastErrorText();
    throw OsError("无法创建窗口：" + text, text);
  }
  impl_->handle = window;
}

Window::~Window() {
  impl_->tasks.Close();
  if (impl_->window) {
    SetWindowLongPtrW(impl_->window, GWLP_USERDATA, 0);
    DestroyWindow(impl_->window);
  }
}

void Window::Show(int showCommand) {
  ShowWindow(impl_->window, showCommand);
  UpdateWindow(impl_->window);
  // A hidden start gets no show message at all: the owner is told all the same.
  if (!impl_->shown) {
    impl_->shown = true;
    PostMessageW(impl_->window, kShown, 0, 0);
  }
}

bool Window::IsVisible() const { return impl_->window && IsWindowVisible(impl_->window); }

void Window::ShowNormal() {
  if (impl_->window) ShowWindow(impl_->window, SW_SHOWNORMAL);
}

void Window::Invalidate() {
  if (impl_->window) InvalidateRect(impl_->window, nullptr, FALSE);
}

void Window::RequestClose() {
  if (impl_->window) PostMessageW(impl_->window, WM_CLOSE, 0, 0);
}

void Window::Post(std::function<void()> task) {
  // A window that is gone takes nothing. Should the message be refused (a
  // full queue), the task runs with the next one, or is freed with the rest.
  if (impl_->tasks.Push(std::move(task))) PostMessageW(impl_->handle, kRunTask, 0, 0);
}

int Window::RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

int StartupShowCommand() {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  GetStartupInfoW(&si);
  return (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : SW_SHOWNORMAL;
}

}  // namespace platform
