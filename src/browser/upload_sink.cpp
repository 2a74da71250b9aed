#include "browser/upload_sink.h"

#include "link/chunk_file.h"

namespace zephra::browser {

TUploadSink::TUploadSink(TBrowserSession& session, TUploadTicket ticket)
    : session_(session), ticket_(std::move(ticket)), file_(ticket_.tempPath) {}

TUploadSink::~TUploadSink() {
  // A connection that went without its body finished still frees the request.
  if (!ended_) Finish(false);
}

bool TUploadSink::Open() {
  if (file_.isOpen()) return true;
  if (file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) return true;
  writeFailed_ = true;
  return false;
}

bool TUploadSink::Take(const char* data, std::size_t count) {
  if (!session_.UploadProgress(ticket_.serial)) {
    unwanted_ = true;
    return false;
  }
  received_ += count;
  if (received_ > ticket_.size) return false;
  if (!Open()) return false;
  if (file_.write(data, static_cast<qint64>(count)) != static_cast<qint64>(count)) {
    writeFailed_ = true;
    return false;
  }
  return true;
}

net::TWebResponse TUploadSink::Finish(bool whole) {
  ended_ = true;
  const bool complete = whole && !unwanted_ && received_ == ticket_.size && Open() &&
                        file_.flush() && (file_.close(), file_.error() == QFileDevice::NoError);
  if (complete && link::ReplaceFile(ticket_.tempPath, ticket_.targetPath)) {
    session_.UploadEnded(ticket_.serial, TUploadEnd::Stored);
    return net::MakeWebResponse(204, {});
  }
  if (file_.isOpen()) file_.close();
  QFile::remove(ticket_.tempPath);
  session_.UploadEnded(ticket_.serial, TUploadEnd::Broken);
  if (unwanted_) return net::MakeWebResponse(404, TextNotAsked);
  const bool wrongSize = received_ > ticket_.size || (whole && received_ != ticket_.size);
  if (wrongSize && !writeFailed_) return net::MakeWebResponse(413, TextWrongSize);
  return net::MakeWebResponse(500, TextWriteFailed);
}

}  // namespace zephra::browser
