#pragma once

// The whole program timed from a phone's tap to the picture on screen: the tray form (link,
// transfer engine, browser server, viewer) on ephemeral ports over a cache folder of its own,
// and the app phone's path to it through Wi-Fi-like relays.

#include <QList>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/tfm_zephra_wifi.h"
#include "phone/phone_simulator.h"
#include "plain_loop.h"
#include "wifi_like_relay.h"

namespace zephra::bench {

inline constexpr QSize CameraSize(6000, 4000);
inline constexpr qint64 CameraPictureBytes = 6'000'000;  // at most; a phone camera's JPEG

// Writes the camera-sized test picture at `path` at the highest JPEG quality (in steps of 5)
// that keeps it within CameraPictureBytes; false when it can't be written.
bool WriteCameraJpeg(const QString& path);

// The first-picture cases' baseline: seconds for `loop` to move the picture's bytes plus the
// picture's decode for the transfer screen, the least any program needs.
double TransferAndDecodeSeconds(const TPlainLoop& loop, const QString& picture);

// The tray form with its services started; its viewer fills the transfer screen. The browser
// server listens on an ephemeral port with `browserToken` (empty: a new one).
class TFirstPictureForm {
 public:
  explicit TFirstPictureForm(std::string browserToken = {});
  ~TFirstPictureForm();
  TFirstPictureForm(const TFirstPictureForm&) = delete;
  TFirstPictureForm& operator=(const TFirstPictureForm&) = delete;

  bool Started() const { return started_; }
  app::TfmZephraWifi& Form() { return *form_; }

  // Seconds from calling `tap` (which sends a picture on its way) until the viewer is up with
  // it; nothing when `tap` fails or the viewer didn't come up. The viewer is closed again
  // afterwards, outside the time.
  std::optional<double> TimeToScreen(const std::function<bool()>& tap);

 private:
  QTemporaryDir cacheDir_;
  std::unique_ptr<app::TfmZephraWifi> form_;
  bool started_ = false;
};

// The app phone's path: the phone simulator joined through a relay on each link channel,
// offering `names` names of the one picture file, none shown when it joins.
class TAppPhoneRig {
 public:
  TAppPhoneRig(const QString& picture, int names);
  ~TAppPhoneRig();
  bool Ready() const { return ready_; }

  // Seconds from sending the one-entry list of name `name` until the viewer is up with it.
  std::optional<double> ShowOnce(int name);

 private:
  TFirstPictureForm form_;
  std::optional<TWifiLikeRelay> controlRelay_;
  std::optional<TWifiLikeRelay> dataRelay_;
  QList<phone::PhonePicture> pictures_;
  std::unique_ptr<phone::PhoneSimulator> phone_;
  bool ready_ = false;
};

}  // namespace zephra::bench
