#pragma once

// A phone's web browser on the browser phone's page: headless Chromium driven by
// tools/browser-phone, one command a line.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <string>

#include "child_process.h"

namespace zephra::e2e {

class BrowserPhone {
 public:
  // Why the driver can't run on this machine (Chromium, its driver or Selenium missing); empty
  // when it can.
  static std::string Missing();

  // Opens `url`; false (with Error()) when the browser did not come up.
  bool Start(const QString& url);
  // Sends one command ("pick F...", "tap N", "click ID", "attr ID NAME", "shot FILE", "reload")
  // and returns its answer line, or a line saying that none came within `ms`.
  std::string Command(const QByteArray& command, int ms = AnswerMs);
  // "ok" once attribute `name` of #`id` equals `value` within `ms`; otherwise its last value.
  std::string Wait(const char* id, const char* name, const QByteArray& value, int ms);
  std::string Pick(const QStringList& files);
  // Ends the browser: its sockets close as when a phone's tab goes away.
  bool Quit();
  bool Running() const { return driver_.Running(); }
  const std::string& Error() const { return error_; }

  // Longest a command other than a wait may take to answer (an element waited for included).
  static constexpr int AnswerMs = 15000;

 private:
  ChildProcess driver_;
  std::string error_;
};

}  // namespace zephra::e2e
