#pragma once

#include <QString>
#include <chrono>
#include <functional>

#include "base/stop_flag.h"
#include "viewer/cache_folder.h"
#include "viewer/picture_requests.h"
#include "viewer/viewer_constants.h"

namespace zephra::viewer {

struct TFetchResult {
  int Code = FetchFailed;  // FetchPresent, FetchStopped, FetchFailed, FetchTimedOut, FetchNoService
  QString Path;            // the local path; empty when stopped
};

// FetchPicture: makes sure the file of phone picture `name` (announced with `sizeText`) is in
// the cache, requesting it and waiting up to `wait` for it. Setting `abortLoad` ends the wait at
// once, cancelling every pending request. A file of the wrong size is deleted before it is
// requested again, since the engine never replaces a file that exists. Runs on the viewer's
// workers. `meanwhile`, when given, runs once the request is on its way (or at once when the
// file needs none), so that other work overlaps the transfer.
TFetchResult FetchPicture(TCacheFolder& cache, TPictureRequests& requests, const QString& name,
                          const QString& sizeText, base::TStopFlag& abortLoad,
                          std::chrono::milliseconds wait = FetchWait,
                          const std::function<void()>& meanwhile = {});

}  // namespace zephra::viewer
