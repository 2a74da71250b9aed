#pragma once

#include <QString>
#include <cstdint>
#include <mutex>

#include "link/viewer_port.h"

namespace zephra::viewer {

// Whether a phone picture must be fetched, and whether it is large enough to show the loading
// picture meanwhile.
struct TFetchNeed {
  bool MustFetch = false;
  bool Large = false;
};

// The picture cache folder and the current phone's subfolder in it. Every path it builds from a
// phone's names lies inside the cache folder. Any thread.
class TCacheFolder final : public link::IPhoneFolders {
 public:
  // `root`: the cache folder to use; empty picks the user's cache base + "zephra.wifi/Cache",
  // or "Cache" beside the program when that can't be created. The folder is made on first use.
  explicit TCacheFolder(QString root = {});

  // CacheFolder: the folder's path, ending with "/"; created with its parents on first use.
  QString CacheFolder() const;

  // The phone's self-declared name as last selected ("" before any).
  QString PhoneFolder() const override;
  // SelectPhoneFolder's part in the cache: makes `phoneName` current and creates its folder.
  void SetPhoneFolder(const QString& phoneName) override;
  // The current phone's folder on disk, ending with "/".
  QString PhoneFolderPath() const;

  // LocalPathOf: empty for an empty name; otherwise the phone folder + the MD5 file name of
  // `name` (see CacheFileName), whatever its first character.
  QString LocalPathOf(const QString& name) const;

  // NeedsFetch: `sizeText` is the decimal size the phone announced (anything else reads as 0).
  // With a size above 0 the file must be there with exactly that size; otherwise any file does.
  TFetchNeed NeedsFetch(const QString& name, const QString& sizeText) const;

  // Deletes everything below the cache folder; the folder itself stays.
  void Empty();

 private:
  mutable std::mutex mutex_;
  const QString configuredRoot_;
  mutable QString cacheFolder_;  // computed on first use
  QString phoneName_;
};

// The announced size in a size text: a decimal integer, or 0 when the text isn't one.
std::int64_t AnnouncedSize(const QString& sizeText);

// True when a file (not a folder) is at `path` and, when `size` > 0, has exactly that size.
bool FileMatches(const QString& path, std::int64_t size);

}  // namespace zephra::viewer
