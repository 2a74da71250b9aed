#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

namespace zephra::link {

// The viewer's own key actions that a browser phone may ask for.
enum class TRemoteAction { RotateLeft, RotateRight, ZoomIn, ZoomOut, Fit };

// What the phone link asks of the picture viewer. Called from connection threads (and the GUI
// thread); an implementation carries the calls out on the GUI thread in the order they came.
class IViewerPort {
 public:
  virtual ~IViewerPort() = default;

  // `names`: every name in double quotes, joined by commas; `sizes`: decimal sizes joined by
  // commas, one per name. A negative index shows nothing.
  virtual void ShowList(std::int32_t index, const QString& names, const QByteArray& sizes) = 0;
  virtual void StartSlideShow(std::int32_t index, const QString& names,
                              const QByteArray& sizes) = 0;
  virtual void StopSlideShow(bool redisplay) = 0;
  // Closes the viewer window without the phone being told (no cmdViewStop goes out).
  virtual void CloseQuietly() = 0;
  // Turns or zooms the picture on screen as the viewer's keys do.
  virtual void Act(TRemoteAction action) = 0;
  // True while the viewer window is not on screen.
  virtual bool Hidden() const = 0;
};

// The shell's request routine that the viewer calls from its own threads (RequestService):
// kind 1 requests the file of phone picture `name` to be written to `path` and stores the new
// request id in `id`; kind 2 cancels request `id`; kind 3 asks whether the viewer may pop up (1)
// or not (0). Returns 0 for kinds 1 and 2.
using TRequestService = std::function<std::int32_t(std::int32_t kind, std::int32_t& id,
                                                   const QString& name, const QString& path)>;

inline constexpr std::int32_t rkRequestFile = 1;
inline constexpr std::int32_t rkCancel = 2;
inline constexpr std::int32_t rkMayPopUp = 3;

// The picture cache's notion of the current phone's subfolder.
class IPhoneFolders {
 public:
  virtual ~IPhoneFolders() = default;
  // Name of the current phone's subfolder ("" before any).
  virtual QString PhoneFolder() const = 0;
  // Makes `phoneName` the current phone folder and creates that folder in the cache.
  virtual void SetPhoneFolder(const QString& phoneName) = 0;
};

}  // namespace zephra::link
