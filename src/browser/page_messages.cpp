#include "browser/page_messages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

#include "browser/browser_constants.h"
#include "link/link_constants.h"

namespace zephra::browser {

namespace {

bool ValidName(const QString& name) {
  if (name.isEmpty() || name.size() > MaxNameUnits) return false;
  for (QChar c : name) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
  }
  return true;
}

std::optional<std::int64_t> WholeNumber(const QJsonValue& value) {
  if (!value.isDouble()) return std::nullopt;
  const double number = value.toDouble();
  if (std::floor(number) != number || std::fabs(number) > 9.0e15) return std::nullopt;
  return static_cast<std::int64_t>(number);
}

bool ReadList(const QJsonObject& object, TPageMessage& message) {
  const QJsonArray pictures = object.value(QLatin1String("pictures")).toArray();
  const std::optional<std::int64_t> index = WholeNumber(object.value(QLatin1String("index")));
  if (pictures.isEmpty() || pictures.size() > MaxListPictures || !index || *index < 0 ||
      *index >= pictures.size()) {
    return false;
  }
  message.index = static_cast<std::int32_t>(*index);
  for (const QJsonValue& entry : pictures) {
    const QJsonObject picture = entry.toObject();
    const QString name = picture.value(QLatin1String("name")).toString();
    const std::optional<std::int64_t> size = WholeNumber(picture.value(QLatin1String("size")));
    if (!ValidName(name) || !size || *size < 0 || *size > link::MaxTransferTotal) return false;
    message.names.append(name);
    message.sizes.append(QByteArray::number(*size));
    message.sizeValues.append(static_cast<std::uint32_t>(*size));
  }
  return true;
}

std::optional<link::TRemoteAction> ActionOf(const QString& name) {
  if (name == QLatin1String("rotl")) return link::TRemoteAction::RotateLeft;
  if (name == QLatin1String("rotr")) return link::TRemoteAction::RotateRight;
  if (name == QLatin1String("zoomin")) return link::TRemoteAction::ZoomIn;
  if (name == QLatin1String("zoomout")) return link::TRemoteAction::ZoomOut;
  if (name == QLatin1String("fit")) return link::TRemoteAction::Fit;
  return std::nullopt;
}

std::string Json(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace

std::optional<TPageMessage> ParsePageMessage(std::string_view text) {
  const QJsonDocument document = QJsonDocument::fromJson(
      QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())));
  if (!document.isObject()) return std::nullopt;
  const QJsonObject object = document.object();
  const QString type = object.value(QLatin1String("type")).toString();
  TPageMessage message;
  if (type == QLatin1String("show") || type == QLatin1String("play")) {
    message.command = type == QLatin1String("show") ? TPageCommand::Show : TPageCommand::Play;
    if (!ReadList(object, message)) return std::nullopt;
  } else if (type == QLatin1String("stop")) {
    message.command = TPageCommand::Stop;
  } else if (type == QLatin1String("close")) {
    message.command = TPageCommand::Close;
  } else if (type == QLatin1String("act")) {
    const auto action = ActionOf(object.value(QLatin1String("action")).toString());
    if (!action) return std::nullopt;
    message.command = TPageCommand::Act;
    message.action = *action;
  } else {
    return std::nullopt;
  }
  return message;
}

std::string ConnectedMessage() { return Json({{"type", "state"}, {"state", "connected"}}); }

std::string BusyMessage(bool byBrowser) {
  return Json({{"type", "state"}, {"state", "busy"}, {"by", byBrowser ? "browser" : "phone"}});
}

std::string NeedMessage(std::int32_t id, const QString& name) {
  return Json({{"type", "need"}, {"id", id}, {"name", name}});
}

std::string CancelMessage(std::int32_t id) { return Json({{"type", "cancel"}, {"id", id}}); }

std::string IndexMessage(int index, int count) {
  return Json({{"type", "index"}, {"index", index}, {"count", count}});
}

std::string ClosedMessage() { return Json({{"type", "closed"}}); }

}  // namespace zephra::browser
