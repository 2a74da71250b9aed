#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "fuzz_target.h"
#include "link/phone_link.h"

namespace zephra::fuzz {

// A viewer that takes every call and checks the lists it is handed.
class TFuzzViewer : public link::IViewerPort {
 public:
  void ShowList(std::int32_t, const QString& names, const QByteArray&) override {
    CheckNames(names);
  }
  void StartSlideShow(std::int32_t, const QString& names, const QByteArray&) override {
    CheckNames(names);
  }
  void StopSlideShow(bool) override {}
  void Act(link::TRemoteAction) override {}
  void CloseQuietly() override {}
  bool Hidden() const override { return true; }

 private:
  // Every name is quoted and quotes inside names are doubled: the quotes come in pairs.
  static void CheckNames(const QString& names) { ZEPHRA_FUZZ_CHECK(names.count(u'"') % 2 == 0); }
};

class TFuzzFolders : public link::IPhoneFolders {
 public:
  QString PhoneFolder() const override {
    std::lock_guard lock(mutex_);
    return folder_;
  }
  void SetPhoneFolder(const QString& phoneName) override {
    std::lock_guard lock(mutex_);
    folder_ = phoneName;
  }

 private:
  mutable std::mutex mutex_;
  QString folder_;
};

// The phone link on ephemeral ports with a fake viewer and cache folders. Each input switches
// the listeners on, is sent over one connection and switches them off again, which closes every
// connection and waits for their threads: the next input finds the link at rest.
struct TLinkUnderTest {
  TLinkUnderTest() { link.SetViewer(std::make_shared<TFuzzViewer>()); }

  static link::TLinkConfig Config() {
    link::TLinkConfig config;
    config.controlPort = 0;
    config.dataPort = 0;
    return config;
  }

  TFuzzFolders folders;
  link::TPhoneLink link{Config(), folders, [] { return std::optional<bool>(true); }};
};

}  // namespace zephra::fuzz
