#include "app/progress_view.h"

#include <iterator>
#include <utility>

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

ProgressView::ProgressView(ProgressWindow& form)
    : form_(form),
      window_(Look(), *this),
      report_([this](std::function<void()> task) { window_.Post(std::move(task)); }, form_) {
  form_.AttachHost(this);
}

ProgressView::~ProgressView() { form_.AttachHost(nullptr); }

void ProgressView::Invalidate() {
  window_.Invalidate();
  // The error state waits for a click: a window started hidden must be seen.
  if (form_.State().closeButtonVisible && !window_.IsVisible()) window_.ShowNormal();
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
