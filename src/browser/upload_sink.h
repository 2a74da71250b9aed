#pragma once

#include <QFile>
#include <cstdint>

#include "browser/browser_session.h"
#include "net/web_types.h"

namespace zephra::browser {

// Streams one admitted upload into its temporary file and, once every announced byte is there,
// moves it over the target in one step. A request that is no longer wanted, a write that fails
// or a body that ends short leaves nothing behind. Server thread.
class TUploadSink final : public net::IBodySink {
 public:
  TUploadSink(TBrowserSession& session, TUploadTicket ticket);
  ~TUploadSink() override;

  bool Take(const char* data, std::size_t count) override;
  net::TWebResponse Finish(bool whole) override;

 private:
  bool Open();

  TBrowserSession& session_;
  const TUploadTicket ticket_;
  QFile file_;
  std::uint64_t received_ = 0;
  bool unwanted_ = false;
  bool writeFailed_ = false;
  bool ended_ = false;
};

}  // namespace zephra::browser
