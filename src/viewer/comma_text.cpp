#include "viewer/comma_text.h"

namespace zephra::viewer {
namespace {

constexpr char16_t Quote = u'"';
constexpr char16_t Comma = u',';
// Characters up to this code separate entries outside quotes.
constexpr char16_t LastSeparatorCode = u' ';

bool IsSeparator(QChar c) { return c.unicode() <= LastSeparatorCode; }

void SkipSeparators(const QString& text, qsizetype& pos) {
  while (pos < text.size() && IsSeparator(text[pos])) ++pos;
}

// Reads the quoted entry that starts at `pos` (on its opening quote) and leaves `pos` after the
// closing quote, or at the end when there is none.
QString ReadQuoted(const QString& text, qsizetype& pos) {
  QString entry;
  ++pos;
  while (pos < text.size()) {
    const QChar c = text[pos++];
    if (c != Quote) {
      entry.append(c);
    } else if (pos < text.size() && text[pos] == Quote) {
      entry.append(c);
      ++pos;
    } else {
      break;
    }
  }
  return entry;
}

// Reads an unquoted entry up to the next separator or comma; empty when `pos` is on a comma.
QString ReadPlain(const QString& text, qsizetype& pos) {
  const qsizetype start = pos;
  while (pos < text.size() && !IsSeparator(text[pos]) && text[pos] != Comma) ++pos;
  return text.mid(start, pos - start);
}

}  // namespace

QStringList SplitCommaText(const QString& text) {
  QStringList entries;
  qsizetype pos = 0;
  SkipSeparators(text, pos);
  // Each round reads one entry and the separator after it. A round always moves on: a quoted
  // entry takes at least its quote, and an empty plain entry means `pos` is on a comma, which
  // the round then takes.
  while (pos < text.size()) {
    entries.append(text[pos] == Quote ? ReadQuoted(text, pos) : ReadPlain(text, pos));
    SkipSeparators(text, pos);
    if (pos < text.size() && text[pos] == Comma) {
      ++pos;
      SkipSeparators(text, pos);
      // A comma at the end still stands before an (empty) entry.
      if (pos == text.size()) entries.append(QString());
    }
  }
  return entries;
}

}  // namespace zephra::viewer
