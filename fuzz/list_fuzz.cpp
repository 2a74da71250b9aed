// The picture list: a list payload as the control channel receives it, parsed into the quoted
// names and sizes the viewer is handed, and those split again as the viewer splits them. The
// viewer must get back exactly the names of the lines that were taken.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include "fuzz_target.h"
#include "link/link_message.h"
#include "viewer/comma_text.h"

namespace {

using namespace zephra;

constexpr std::size_t MaxInput = 65536;

// The names of the lines the parser takes, split independently of it.
QStringList TakenNames(const QByteArray& payload) {
  QString text;
  for (qsizetype i = qsizetype(link::ListHeadLength); i + 1 < payload.size(); i += 2) {
    text.append(QChar(char16_t(std::uint8_t(payload[i]) << 8 | std::uint8_t(payload[i + 1]))));
  }
  QStringList names;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
  for (const QString& line : text.split(u'\n')) {
    QString name, size, extra;
    if (link::SplitListLine(line, name, size, extra) == 3) names.append(name);
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > MaxInput) return 0;
  const QByteArray payload(reinterpret_cast<const char*>(data), qsizetype(size));
  const link::TPictureList list = link::ParsePictureList(payload);
  const QStringList names = viewer::SplitCommaText(list.Names);
  ZEPHRA_FUZZ_CHECK(names.size() == list.Count);
  if (payload.size() >= qsizetype(link::ListHeadLength)) {
    ZEPHRA_FUZZ_CHECK(names == TakenNames(payload));
  }
  viewer::SplitCommaText(QString::fromLatin1(list.Sizes));
  // The comma-text splitter on the raw bytes as well.
  const QStringList raw = viewer::SplitCommaText(QString::fromUtf8(payload));
  ZEPHRA_FUZZ_CHECK(raw.size() <= payload.size() + 1);
  return 0;
}
