#pragma once

#include <QColor>
#include <QPoint>
#include <QSize>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zephra::install {

// The download server: its port on every local address, the listen backlog, how long stopping
// waits for the connection threads, and the bounds that keep clients from holding threads: a
// request header must arrive within HeaderDeadline and fit in MaxHeaderBytes, and at most
// MaxConnections connections are open at once.
inline constexpr std::uint16_t HttpPort = 86;
inline constexpr std::size_t HttpListenBacklog = 15;
inline constexpr std::chrono::milliseconds HttpStopWait{5000};
inline constexpr std::chrono::milliseconds HeaderDeadline{10000};
inline constexpr std::size_t MaxHeaderBytes = 8192;
inline constexpr std::size_t MaxConnections = 32;
// A request body up to this size is read and dropped before the answer.
inline constexpr std::size_t MaxDroppedBody = 65536;

// A failed stop reports this text.
inline constexpr char StopTimeoutText[] = "Terminate Thread Timeout";

// The embedded phone app package: resource type "APK", name "MyAPK".
inline constexpr char PackageResource[] = ":/APK/MyAPK";
// The package's file name in the download address.
inline constexpr char PackageDocument[] = "Zephra.apk";

// Content types.
inline constexpr char HtmlType[] = "text/html";
inline constexpr char OctetStreamType[] = "application/octet-stream";

// A folder named by a request counts as its index file when it holds one of this name.
inline constexpr char IndexFileSuffix[] = "/index.htm";

// The body of the 403 answer, 144 bytes with its one carriage return.
inline constexpr char AccessDeniedPage[] =
    "<html><head><title>Error</title></head><body><h1>Access denied</h1>\r"
    "You do not have sufficient priviligies to access this document</body></html>";

// Body of the 500 answer when the package cannot be opened.
inline constexpr char PackageMissingText[] = "The phone app package cannot be read";

// Install window: size, colour, caption, font, corner rounding, the QR symbol, the label and
// the close button. Positions and sizes in pixels at 96 pixels per inch.
inline constexpr QSize InstallWindowSize{270, 290};
inline constexpr QColor InstallWindowColour{236, 236, 255};
inline constexpr char InstallWindowCaption[] = "安装手机Zephra";
inline constexpr char InstallFontFamily[] = "MS Shell Dlg 2";
inline constexpr int InstallFontPixels = 11;
inline constexpr int InstallCornerEllipse = 9;

inline constexpr QPoint QRCodePosition{12, 12};
inline constexpr QSize QRCodeDesignSize{164, 164};
inline constexpr int QRCodeDesignVersion = 4;
inline constexpr int QRCodeDesignEclevel = 3;
inline constexpr char QRCodeFontFamily[] = "Tahoma";
inline constexpr char QRCodeDesignCode[] = "http://www.example.com/";
// What SetAddress gives the symbol: 5 pixels a module, level M, version 6.
inline constexpr int QRCodePxmag = 5;
inline constexpr int QRCodeEclevel = 1;
inline constexpr int QRCodeVersion = 6;

inline constexpr QPoint LabelPosition{11, 267};
inline constexpr QSize LabelSize{249, 21};
inline constexpr char LabelCaption[] = "请用Orvex手机助手的二维码扫描安装";

inline constexpr QPoint ClosePosition{251, 4};
inline constexpr char CloseGlyphFile[] = ":/install/close-button.png";
inline constexpr int CloseGlyphCount = 4;
inline constexpr char CloseHint[] = "返回";
// The corner around the close button that does not drag the window reaches this far beyond
// the button's left and bottom edges.
inline constexpr int CloseCornerMargin = 3;

// Toast when no local address can serve the download, and how long it stays.
inline constexpr char TipNoInstallAddress[] = "无法使用二维码安装手机Zephra";
inline constexpr int TipMilliseconds = 5000;

}  // namespace zephra::install
