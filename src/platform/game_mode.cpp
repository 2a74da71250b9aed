#include "platform/game_mode.h"

#include <QSettings>
#include <QVariant>

namespace zephra::platform {

namespace {

const QString GameModeValueName = QStringLiteral("gamemode");

}  // namespace

std::optional<int> PartnerGameModeValue() {
#ifdef Q_OS_WIN
  // The partner is a 32-bit program: its machine-wide settings sit in the 32-bit registry view.
  QSettings settings(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\OrvexSafe\\mobilemgr"),
                     QSettings::Registry32Format);
#else
  QSettings settings(QSettings::NativeFormat, QSettings::SystemScope, QStringLiteral("OrvexSafe"),
                     QStringLiteral("mobilemgr"));
#endif
  const QVariant value = settings.value(GameModeValueName);
  if (!value.isValid()) {
    return std::nullopt;
  }
#ifdef Q_OS_WIN
  // A registry string that happens to hold digits is not an integer value.
  if (value.typeId() == QMetaType::QString) {
    return std::nullopt;
  }
#endif
  bool isInteger = false;
  const int number = value.toInt(&isInteger);
  if (!isInteger) {
    return std::nullopt;
  }
  return number;
}

}  // namespace zephra::platform
