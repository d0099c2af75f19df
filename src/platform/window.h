#pragma once
// One borderless window at the centre of the screen, painted by its owner
// through a canvas of filled shapes and text, with tasks posted to it from
// other threads. The owner decides what it shows; the system only draws it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct Rect {
  int left, top, width, height;
};
struct Rgb {
  std::uint8_t r, g, b;
};
struct Font {
  int pixelHeight;  // character height, without internal leading
  bool bold = false;
};

// What the owner paints with; everything lands off screen first and reaches
// the window in one piece.
class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual void Fill(Rect area, Rgb colour) = 0;
  virtual void FillRounded(Rect area, int cornerSize, Rgb colour) = 0;
  // Text from its top-left corner, on a transparent background; line breaks
  // start new lines.
  virtual void Text(int left, int top, std::string_view text, Font font, Rgb colour) = 0;
  // One line centred in the area.
  virtual void CentredText(Rect area, std::string_view text, Font font, Rgb colour) = 0;
};

// What the window tells its owner, always on the window's own thread.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual void OnPaint(Canvas& canvas) = 0;
  // Once, after the first Show, whatever the show command was.
  virtual void OnShown() = 0;
  // A close request of any kind (keyboard, system menu, session end): true
  // lets the window close, which ends the message loop.
  virtual bool OnCloseRequest() = 0;
  // The left button went down at a client point: true to be told where it
  // comes up, wherever that is.
  virtual bool OnMouseDown(int x, int y) = 0;
  virtual void OnMouseUp(int x, int y) = 0;
};

struct WindowLook {
  std::string className;
  std::string caption;  // seen only in the taskbar
  int width, height;    // client size in pixels
  // Font faces in order of preference; the first installed one is used.
  std::vector<std::string> fontFaces;
};

class Window {
 public:
  // Creates the window hidden; OsError when the system refuses.
  Window(const WindowLook& look, WindowEvents& events);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Shows the window with a show command of the system (from the process's
  // start-up information), then reports OnShown once.
  void Show(int showCommand);
  bool IsVisible() const;
  void ShowNormal();
  void Invalidate();
  // A close request, answered by OnCloseRequest.
  void RequestClose();
  // Runs the task on the window's thread after everything posted before it;
  // safe from any thread, never waits. A task the window can no longer run
  // (it is gone, or closed first) is dropped without running.
  void Post(std::function<void()> task);
  // Runs until the window has closed; returns the exit code.
  int RunMessageLoop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// How the process was asked to show its first window.
int StartupShowCommand();

}  // namespace platform
