#include "app/progress_view.h"

#include <iterator>

#include "app/window_layout.h"

namespace app {
namespace {

platform::WindowLook Look() {
  platform::WindowLook look{layout::kWindowClass, layout::kCaption, layout::kClientWidth, layout::kClientHeight,
                            {layout::kFontFace}};
  look.fontFaces.insert(look.fontFaces.end(), std::begin(layout::kFallbackFontFaces),
                        std::end(layout::kFallbackFontFaces));
  return look;
}

bool Inside(const layout::Rect& r, int x, int y) {
  return x >= r.left && x < r.left + r.width && y >= r.top && y < r.top + r.height;
}

}  // namespace

ProgressView::ProgressView(ProgressWindow& form) : form_(form), window_(Look(), *this) { form_.AttachHost(this); }

ProgressView::~ProgressView() { form_.AttachHost(nullptr); }

void ProgressView::Invalidate() {
  window_.Invalidate();
  // The error state waits for a click: a window started hidden must be seen.
  if (form_.State().closeButtonVisible && !window_.IsVisible()) window_.ShowNormal();
}

void ProgressView::PostStatus(Status status) {
  window_.Post(kUpdateStatusMessage, static_cast<std::uintptr_t>(status), 0);
}

void ProgressView::PostError(std::string_view text) { PostText(Status::Failed, text); }

void ProgressView::PostRefusal(std::string_view text) { PostText(Status::Refused, text); }

void ProgressView::PostText(Status status, std::string_view text) {
  char* block = NewStatusText(text);
  if (!window_.Post(kUpdateStatusMessage, static_cast<std::uintptr_t>(status),
                    reinterpret_cast<std::intptr_t>(block))) {
    FreeStatusText(block);  // nobody will receive it
  }
}

void ProgressView::PostProgress(std::int32_t done, std::int32_t total) {
  // Sign-extended into the wider parameters of a 64-bit build; the window
  // reads them back as 32-bit values.
  window_.Post(kUpdateProgressMessage, static_cast<std::uintptr_t>(static_cast<std::intptr_t>(done)), total);
}

void ProgressView::OnPosted(unsigned message, std::uintptr_t first, std::intptr_t second) {
  if (message == kUpdateStatusMessage) form_.OnStatus(first, second);
  if (message == kUpdateProgressMessage) {
    form_.OnProgress(static_cast<std::int32_t>(static_cast<std::uint32_t>(first)),
                     static_cast<std::int32_t>(static_cast<std::uint32_t>(second)));
  }
}

bool ProgressView::OnButton(int x, int y) const {
  return form_.State().closeButtonVisible && Inside(layout::kCloseButton, x, y);
}

void ProgressView::OnMouseUp(int x, int y) {
  if (OnButton(x, y)) form_.CloseAndStartClient();
}

// Back to front: background with its outline, the bar's fill, the labels,
// the button.
void ProgressView::OnPaint(platform::Canvas& canvas) {
  const FormState& s = form_.State();
  const layout::Rect all = layout::kBackground;
  const int outline = layout::kBackgroundOutline;
  canvas.Fill(all, layout::kWhite);
  canvas.Fill({all.left + outline, all.top + outline, all.width - 2 * outline, all.height - 2 * outline},
              layout::kBackgroundFill);
  if (s.barVisible && s.barWidth > 0) {
    canvas.Fill({layout::kRate.left, layout::kRate.top, s.barWidth, layout::kRate.height}, layout::kRateFill);
  }
  if (s.hint.visible) {
    canvas.Text(layout::kHintLeft, layout::kHintTop, s.hint.text, {layout::kHintFontHeight}, layout::kWhite);
  }
  if (s.percent.visible) {
    canvas.Text(layout::kRateLabelLeft, layout::kRateLabelTop, s.percent.text, {layout::kRateFontHeight},
                layout::kWhite);
  }
  if (s.error.visible) {
    canvas.Text(layout::kErrorLeft, layout::kErrorTop, s.error.text, {layout::kErrorFontHeight}, layout::kWhite);
  }
  if (s.closeButtonVisible) {
    canvas.FillRounded(layout::kCloseButton, 8, layout::kCloseButtonFace);
    canvas.CentredText(layout::kCloseButton, layout::kCloseButtonText, {layout::kDefaultFontHeight, true},
                       layout::kWhite);
  }
}

int RunProgressWindow(ProgressWindow& form, const Arguments& args, platform::IRegistry& registry,
                      platform::IMessageBox& messageBox, int showCommand) {
  ProgressView view(form);
  form.OnCreate(args, registry, messageBox, TodayWorkDate());
  if (form.EndRequested()) return 0;
  view.Show(showCommand);
  return view.RunMessageLoop();
}

}  // namespace app
