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

}  // namespace zephra::viewer
