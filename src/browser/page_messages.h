#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/viewer_port.h"

namespace zephra::browser {

enum class TPageCommand { Show, Play, Stop, Close, Act };

// One message from the page, checked: a list has 1 to MaxListPictures pictures, each with a
// name of 1 to MaxNameUnits units without control characters and a size the link takes, and
// an index inside it.
struct TPageMessage {
  TPageCommand command = TPageCommand::Stop;
  std::int32_t index = 0;
  QStringList names;
  QList<QByteArray> sizes;  // decimal, one per name
  QList<std::uint32_t> sizeValues;
  link::TRemoteAction action = link::TRemoteAction::Fit;
};
// nullopt for anything malformed or unknown.
std::optional<TPageMessage> ParsePageMessage(std::string_view text);

// The PC's messages to the page.
std::string ConnectedMessage();
std::string BusyMessage(bool byBrowser);
std::string NeedMessage(std::int32_t id, const QString& name);
std::string CancelMessage(std::int32_t id);
std::string IndexMessage(int index, int count);
std::string ClosedMessage();

}  // namespace zephra::browser
