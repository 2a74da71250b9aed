#pragma once

#include <QSize>
#include <array>
#include <chrono>

namespace zephra::app {

// Hint of the tray icon and caption of every message box.
inline constexpr char AppTitle[] = "Zephra . WIFI";

// Name of the single-instance lock: one running copy per desktop.
inline constexpr char SingleInstanceName[] = "Zephra_Wifi_Single";

// Tray menu captions, top to bottom (a separator sits between About and Close).
inline constexpr char MenuInstallPhoneApp[] = "安装手机Zephra";
inline constexpr char MenuBrowserPhone[] = "用手机浏览器看图";
inline constexpr char MenuAbout[] = "关于Zephra";
inline constexpr char MenuClose[] = "关闭Zephra";

// The program icon in the sizes the tray and the window manager pick from.
inline constexpr std::array<const char*, 3> IconFiles{
    ":/icons/zephra-16.png", ":/icons/zephra-32.png", ":/icons/zephra-64.png"};

// Toasts shown when the service starts, and how long they stay.
inline constexpr char TipServiceStarted[] = "已启动Zephra服务...\r\n用手机Zephra体验不一样的看图";
inline constexpr char TipPartnerMissing[] = "启用OrvexWIFI后才能使用Zephra...";
inline constexpr char TipNoBrowserAddress[] = "电脑没有连上网络，手机浏览器无法打开看图页面";
inline constexpr int TipMilliseconds = 5000;

// Message box when the link servers can't start; the program then ends.
inline constexpr char MessageServiceFailed[] = "无法启动Zephra服务！";

// Pieces of the About text.
inline constexpr char LineBreak[] = "\r\n";
inline constexpr char AboutRule[] = "-----------------------------------";  // 35 hyphens
inline constexpr char AboutVersionLabel[] = "版本: V";
inline constexpr char AboutRights[] = "Copyright © 2026 Zephra. All rights reserved.";

// Period of the hotspot watch (TimerIpList).
inline constexpr std::chrono::milliseconds IpListInterval{3000};

// How often the program looks whether a system tray has come or gone; without one the menu
// shows as a window of its own.
inline constexpr std::chrono::milliseconds TrayCheckInterval{2000};

// The menu window's buttons and their spacing, in pixels.
inline constexpr QSize MenuWindowButtonSize{200, 32};
inline constexpr int MenuWindowMargin = 16;
inline constexpr int MenuWindowSpacing = 8;
inline constexpr int MenuWindowFontPixels = 14;

}  // namespace zephra::app
