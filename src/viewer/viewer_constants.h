#pragma once

#include <chrono>
#include <cstdint>

namespace zephra::viewer {

// The cache folder below the user's cache base, and the one beside the program when that base
// can't be used.
inline constexpr const char* CacheSubFolder = "zephra.wifi/Cache";
inline constexpr const char* FallbackCacheFolder = "Cache";

// A picture announced larger than this shows the loading picture while it is fetched.
inline constexpr std::int64_t LargePictureBytes = 1500000;

// How long FetchPicture waits for a requested file to arrive (1000 polls of 20 ms).
inline constexpr std::chrono::milliseconds FetchWait{20000};

// FetchPicture results.
inline constexpr int FetchPresent = 1;     // the file is there
inline constexpr int FetchStopped = 0;     // AbortLoad stopped the wait
inline constexpr int FetchFailed = -1;     // the transfer failed, or no file after success
inline constexpr int FetchTimedOut = -2;   // no completion within FetchWait
inline constexpr int FetchNoService = -3;  // no request service, or it refused

// PollRequest results.
inline constexpr int PollFailed = -1;
inline constexpr int PollOpen = 0;
inline constexpr int PollDone = 1;

// The viewer window.
inline constexpr const char* ViewerCaption = "Orvex看图";
inline constexpr int ViewerDesignWidth = 930;
inline constexpr int ViewerDesignHeight = 570;
inline constexpr int ViewerMinWidth = 780;
inline constexpr int ViewerMinHeight = 450;
inline constexpr int ViewerColourRed = 77;  // RGB(77, 77, 77) where no desktop copy is behind
inline constexpr int ViewerColourGreen = 77;
inline constexpr int ViewerColourBlue = 77;
inline constexpr int DesktopDarkenFactor = 40;  // the desktop shows dimmed to 40/255
inline constexpr const char* CloseButtonHint = "返回";
inline constexpr int CloseButtonSize = 29;
inline constexpr int CloseButtonSlices = 4;
inline constexpr int CloseBand = 30;  // the pointer this near the button keeps it visible

// Pool items of the viewer's timer pool: the window turns opaque, the close button hides.
inline constexpr int PoolInterval = 50;
inline constexpr std::uint16_t PoolItemAppear = 200;
inline constexpr int PoolAppearInterval = 50;
inline constexpr std::uint16_t PoolItemHideClose = 214;
inline constexpr int PoolHideCloseInterval = 3000;

// A transition: ten steps of 10 %, each followed by a repaint and a 1 ms pause.
inline constexpr int TransitionStep = 10;
inline constexpr int TransitionSpacing = 10;
inline constexpr int TransitionPatterns = 6;

// Pans move the picture by this many pixels.
inline constexpr int PanStep = 10;

// The viewer's artwork.
inline constexpr const char* LoadingPicture = ":/viewer/viewer-loading.png";
inline constexpr const char* BadPicture = ":/viewer/viewer-bad.png";
inline constexpr const char* CloseButtonPicture = ":/viewer/viewer-close.png";

}  // namespace zephra::viewer
