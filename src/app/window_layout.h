#pragma once
// Geometry, colours and fonts of the progress window, in client pixels at
// 96 dots per inch. The view paints from these; the window logic needs the
// bar's length.
#include "platform/window.h"

namespace app::layout {

using platform::Rect;
using platform::Rgb;

inline constexpr int kClientWidth = 500;
inline constexpr int kClientHeight = 200;
inline constexpr const char* kCaption = "VelqorCastrel升级程序";
// The window class name, unchanged for programs that look for the window.
inline constexpr const char* kWindowClass = "TfrmUpMain";

inline constexpr const char* kFontFace = "微软雅黑";
// Where that face is missing, the nearest Chinese UI font that is installed.
inline constexpr const char* kFallbackFontFaces[] = {"Microsoft YaHei", "WenQuanYi Micro Hei", "文泉驿微米黑",
                                                     "SimHei", "SimSun", "宋体"};
inline constexpr int kDefaultFontHeight = 19;

// The background: filled, with a white outline.
inline constexpr Rect kBackground{0, 0, 500, 200};
inline constexpr Rgb kBackgroundFill{80, 80, 80};
inline constexpr int kBackgroundOutline = 2;

// The hint line.
inline constexpr int kHintLeft = 32, kHintTop = 32, kHintFontHeight = 19;

// The bar's track. Never shown; it gives the fill's full length.
inline constexpr Rect kProgressTrack{32, 96, 433, 25};
inline constexpr int kProgressTrackOutline = 1;
// The bar's fill; its width follows the progress.
inline constexpr Rect kRate{33, 97, 144, 24};
inline constexpr Rgb kRateFill{255, 128, 128};
inline constexpr int kRateFullWidth = kProgressTrack.width - 2 * kProgressTrackOutline;

// The percentage and the error text.
inline constexpr int kRateLabelLeft = 32, kRateLabelTop = 144, kRateFontHeight = 21;
inline constexpr int kErrorLeft = 32, kErrorTop = 72, kErrorFontHeight = 16;

// The close button: blue with white 确定, rounded corners.
inline constexpr Rect kCloseButton{192, 144, 121, 33};
inline constexpr Rgb kCloseButtonFace{0, 162, 232};
inline constexpr const char* kCloseButtonText = "确定";

inline constexpr Rgb kWhite{255, 255, 255};

}  // namespace app::layout
