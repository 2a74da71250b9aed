#pragma once

// The Qt set-up of the benchmark programs that show windows: Qt's offscreen platform with one
// screen of a given size, its warnings about what it can't do kept quiet, and a main that makes
// the application before the benchmarks run.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>
#include <cstdio>

namespace zephra::bench {

inline QtMessageHandler& PreviousMessageHandler() {
  static QtMessageHandler handler = nullptr;
  return handler;
}

// The offscreen platform warns at every show that it can't set the opacity or raise a window.
inline void QuietPlatformWarnings(QtMsgType type, const QMessageLogContext& context,
                                  const QString& message) {
  if (type == QtWarningMsg && message.startsWith(QLatin1String("This plugin does not support"))) {
    return;
  }
  if (PreviousMessageHandler() != nullptr) {
    PreviousMessageHandler()(type, context, message);
  } else {
    std::fprintf(stderr, "%s\n", qPrintable(message));
  }
}

// Before the application is made: an offscreen screen of `screen`'s size, so that full-screen
// windows and the desktop capture have the size they would have on such a monitor, and the
// warnings filter. The screen file is kept for the program's life, as the platform reads it
// when the application starts. A platform chosen in QT_QPA_PLATFORM is left alone.
inline void UseOffscreenScreen(QSize screen) {
  PreviousMessageHandler() = qInstallMessageHandler(QuietPlatformWarnings);
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return;
  static QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("screen.json"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return;
  }
  file.write(QString(R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": %1,)"
                     R"( "height": %2, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                 .arg(screen.width())
                 .arg(screen.height())
                 .toUtf8());
  file.close();
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + path).toLocal8Bit());
}

// The body of such a program's main: the application, then every benchmark the command line
// selects.
inline int RunBenchmarksInApplication(int argc, char** argv) {
  int appArgc = 1;
  QApplication application(appArgc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace zephra::bench
