#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zephra::browser {

// The browser phone's web server listens here on every local address.
inline constexpr std::uint16_t BrowserPort = 22309;
// The session's phone name (and so its cache subfolder) while a browser holds it.
inline constexpr char BrowserPhoneName[] = "Browser";

// A session whose WebSocket stays closed this long ends.
inline constexpr std::chrono::milliseconds SessionGrace{10000};
// An upload asked for that makes no progress this long is asked for once more, then given up.
inline constexpr std::chrono::milliseconds UploadSilence{3000};
inline constexpr std::size_t MaxUploadsAtOnce = 2;
// An upload that would leave less than this free on the cache's disk is refused.
inline constexpr std::uint64_t MinFreeBytes = std::uint64_t{1} << 30;
// A list from the page holds at most this many pictures, each name at most this many units.
inline constexpr int MaxListPictures = 2000;
inline constexpr int MaxNameUnits = 255;
// Token digits: 128 random bits in hexadecimal.
inline constexpr int TokenDigits = 32;
inline constexpr std::size_t MaxClientIdLength = 32;

// The page's own subprotocol and the prefixes of the token and the client id in the offer.
inline constexpr char PageSubprotocol[] = "zephra";
inline constexpr char TokenProtocolPrefix[] = "token-";
inline constexpr char ClientProtocolPrefix[] = "client-";
inline constexpr char TokenHeader[] = "X-Zephra-Token";

// What the page shows when an upload is refused.
inline constexpr char TextWrongToken[] = "链接已失效，请重新扫描电脑上的二维码";
inline constexpr char TextWrongHost[] = "请用电脑上显示的地址打开本页";
inline constexpr char TextNotAsked[] = "这张图片电脑没有在等，或已取消";
inline constexpr char TextBusyUploading[] = "这张图片已在上传";
inline constexpr char TextTooManyUploads[] = "同时上传的图片太多，请稍候";
inline constexpr char TextNoLength[] = "上传缺少大小";
inline constexpr char TextWrongSize[] = "图片大小与所选的不符，或超过 256 MB";
inline constexpr char TextDiskFull[] = "电脑磁盘空间不足（至少要留出 1 GB），无法接收这张图片";
inline constexpr char TextWriteFailed[] = "电脑无法保存这张图片";

}  // namespace zephra::browser
